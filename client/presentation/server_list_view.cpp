#include "client/presentation/server_list_view.h"

#include <string>

#include "client/core/client_state.h"
#include "client/core/connection.h"
#include "client/core/input.h"
#include "client/core/keys.h"
#include "client/core/labels.h"
#include "client/core/platform.h"
#include "client/core/server_list.h"
#include "client/core/session.h"
#include "client/presentation/audio.h"
#include "client/presentation/menu.h"
#include "protocol/rules.h"

bool server_list_open = false;
uint8_t server_list_item = 0;

namespace {

constexpr uint32_t ROUND_INTERVAL_MS = 3000;
constexpr size_t LINES_SHOWN = 20;

uint32_t last_round_ms = 0;
size_t entries_drawn = 0;
std::string no_socket_reason;

bool Repeating(uint8_t key) { return key_state[key] == 2 || key_state[key] > 15; }

void Click() { PlaySound(snd_mmove, 0); }

void Move(int delta) {
  const size_t count = ServerListEntries().size();
  if (delta < 0 && server_list_item > 0) --server_list_item;
  const size_t next = server_list_item + 1u;
  if (delta > 0 && next < count && next < LINES_SHOWN) ++server_list_item;
  DrawServerList();
  Click();
}

void ConnectToChosen() {
  const auto& entries = ServerListEntries();
  if (server_list_item >= entries.size()) return;
  const ServerListEntry& e = entries[server_list_item];
  if (conn_state != CS_IDLE) {
    conn_state = CS_IDLE;
    SendDisconnect();
  }
  cfg.server_address = e.address;
  cfg.server_port = e.port;
  CloseServerList();
  MenuConnect();
}

std::string Fixed(const std::string& text, size_t width) {
  if (text.size() >= width) return text.substr(0, width);
  return std::string(width - text.size(), ' ') + text;
}

}  // namespace

void OpenServerList() {
  server_list_open = true;
  server_list_item = 0;
  no_socket_reason.clear();
  if (ServerListStart()) {
    ServerListAddNamed(cfg.server_address, cfg.server_port);
    std::string problem;
    ServerListUseLan(LanTargetsFromEnvironment(problem));
    if (!problem.empty()) LogLine(problem);
    last_round_ms = PlatformTicks();
    ServerListSend(last_round_ms);
  } else {
    no_socket_reason = "No UDP socket for the server list";
    LogLine(no_socket_reason);
  }
  entries_drawn = ServerListEntries().size();
  DrawServerList();
}

void CloseServerList() {
  server_list_open = false;
  ServerListStop();
  DrawMenu();
}

void ServerListKeys() {
  const uint32_t now = PlatformTicks();
  if (now - last_round_ms >= ROUND_INTERVAL_MS) {
    last_round_ms = now;
    ServerListSend(now);
  }
  if (ServerListPoll(now) > 0 || ServerListEntries().size() != entries_drawn) {
    entries_drawn = ServerListEntries().size();
    DrawServerList();
  }
  if (Repeating(VK_UP)) Move(-1);
  if (Repeating(VK_DOWN)) Move(+1);
  if (key_state[VK_RETURN] == 2) ConnectToChosen();
}

void DrawServerList() {
  std::string names = " Server list (Esc: back)";
  std::string values = Fixed("Map", 24) + Fixed("Players", 8) + Fixed("Ping", 10) + " ";
  const auto& entries = ServerListEntries();
  for (size_t i = 0; i < entries.size() && i < LINES_SHOWN; ++i) {
    const char marker = i == server_list_item ? '+' : ' ';
    const ServerListColumns c = ServerListTexts(entries[i]);
    names += CR;
    values += CR;
    names += marker + (entries[i].answered ? c.name : c.address);
    values += Fixed(c.map, 24) + Fixed(c.players, 8) + Fixed(c.ping, 10) + marker;
  }
  if (!no_socket_reason.empty()) names += CR + (" " + no_socket_reason);
  l_mvar.setCaption(names);
  l_mval.setCaption(values);
  int cw, ch;
  PlatformClientSize(cw, ch);
  l_mvar.left = cw / 2 - (l_mvar.width + l_mval.width) / 2;
  l_mval.left = l_mvar.left + l_mvar.width;
}
