// The in-game menu drawn: two columns of text over a red screen, or the
// server list in their place. What it shows is the core's menu model
// (core/menu_model.h).
#include "client/presentation/menu.h"

#include <algorithm>
#include <string>

#include "client/core/client_state.h"
#include "client/core/labels.h"
#include "client/core/menu_model.h"
#include "client/core/platform.h"
#include "client/presentation/server_list_view.h"
#include "protocol/rules.h"

namespace {

constexpr int kTitleGap = 4;  // pixels between the title and the menu

void SetMenuFont(FontId font) {
  if (l_mvar.font == font && l_mval.font == font) return;
  l_mvar.font = l_mval.font = font;
  l_mvar.setCaption(l_mvar.caption);
  l_mval.setCaption(l_mval.caption);
}

}  // namespace

void DrawMenu() {
  if (server_list_open) {
    DrawServerList();
    return;
  }
  std::string names, values;
  for (uint8_t i = 0; i < MENU_ITEMS; ++i) {
    const char marker = i == menu_item ? '+' : ' ';
    if (i > 0) {
      names += CR;
      values += CR;
    }
    names += marker + MenuItemText(i);
    values += MenuItemValue(i) + marker;
  }
  l_mvar.setCaption(names);
  l_mval.setCaption(values);
  PlaceMenu();
}

void PlaceMenu() {
  int cw, ch;
  PlatformClientSize(cw, ch);
  const int below_title = l_mcpt.top + l_mcpt.height + kTitleGap;
  int top = 0;
  // The menu's own size first; a window too short for all its lines below
  // the title gets the smaller face.
  for (const FontId font : {FONT_MENU, FONT_MENU_SMALL}) {
    SetMenuFont(font);
    const int height = l_mvar.height;
    top = ch / 2 - height / 2 + 45;
    top = std::max(std::min(top, ch - height), below_title);
    if (top + height <= ch) break;
  }
  l_mvar.left = cw / 2 - (l_mvar.width + l_mval.width) / 2;
  l_mvar.top = top;
  l_mval.left = l_mvar.left + l_mvar.width;
  l_mval.top = top;
}
