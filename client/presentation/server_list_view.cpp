#include "client/presentation/server_list_view.h"

#include <string>

#include "client/core/labels.h"
#include "client/core/menu_model.h"
#include "client/core/platform.h"
#include "client/core/server_list.h"
#include "protocol/rules.h"

namespace {

std::string Fixed(const std::string& text, size_t width) {
  if (text.size() >= width) return text.substr(0, width);
  return std::string(width - text.size(), ' ') + text;
}

}  // namespace

void DrawServerList() {
  std::string names = " Server list (Esc: back)";
  std::string values = Fixed("Map", 24) + Fixed("Players", 8) + Fixed("Ping", 10) + " ";
  const auto& entries = ServerListEntries();
  for (size_t i = 0; i < entries.size() && i < SERVER_LIST_LINES_SHOWN; ++i) {
    const char marker = i == server_list_item ? '+' : ' ';
    const ServerListColumns c = ServerListTexts(entries[i]);
    names += CR;
    values += CR;
    names += marker + (entries[i].answered ? c.name : c.address);
    values += Fixed(c.map, 24) + Fixed(c.players, 8) + Fixed(c.ping, 10) + marker;
  }
  if (!server_list_problem.empty()) names += CR + (" " + server_list_problem);
  l_mvar.setCaption(names);
  l_mval.setCaption(values);
  int cw, ch;
  PlatformClientSize(cw, ch);
  l_mvar.left = cw / 2 - (l_mvar.width + l_mval.width) / 2;
  l_mval.left = l_mvar.left + l_mvar.width;
}
