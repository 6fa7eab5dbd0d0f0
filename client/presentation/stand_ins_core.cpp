// Temporary stand-ins for client-core operations the presentation calls,
// until the real ones arrive.
#include <string>

#include "client/core/client_state.h"
#include "client/core/config.h"
#include "client/core/frame.h"
#include "client/core/input.h"
#include "client/core/labels.h"
#include "client/core/scoreboard.h"
#include "client/core/session.h"

std::string key_names[256];

void BuildKeyNames() {
  for (int i = 0; i < 256; ++i) key_names[i] = std::string(1, static_cast<char>(i));
  key_names[13] = "return";
  key_names[27] = "escape";
  key_names[37] = "left";
  key_names[38] = "up";
  key_names[39] = "right";
  key_names[40] = "down";
  key_names[123] = "f12";
}

bool IsChatChar(uint8_t c) {
  if (c >= 192) return true;
  if (c < 32 || c > 126) return false;
  for (char banned : std::string("!$&',:;=^{|}~"))
    if (c == static_cast<uint8_t>(banned)) return false;
  return true;
}

void ShowLogLine(const std::string& text) { log_lines.push_back(text); }
void LogLine(const std::string& text) { ShowLogLine(text); }

void Shutdown() {}
void SendDisconnect() { ShowLogLine("Disconnected!"); }

void ShowScoreboard(bool visible) {
  l_sb_stat.visible = l_sb_s.visible = l_sb_p.visible = l_sb_n.visible = visible;
  l_sb_ts.visible = visible && team_play != 0;
}
