// The in-game menu: two columns of text over a red screen, the start screen,
// the place to connect, and the only settings editor.
#include "client/presentation/menu.h"

#include <algorithm>
#include <string>

#include "client/core/client_state.h"
#include "client/core/connection.h"
#include "client/core/config.h"
#include "client/core/lifecycle.h"
#include "client/core/input.h"
#include "client/core/keys.h"
#include "client/core/labels.h"
#include "client/core/platform.h"
#include "client/core/scoreboard.h"
#include "client/core/session.h"
#include "client/presentation/audio.h"
#include "client/presentation/server_list_view.h"
#include "protocol/rules.h"

uint8_t menu_item = 0;

namespace {

// The 21 classic lines, then the server list.
constexpr uint8_t SERVER_LIST_ITEM = 21;
constexpr uint8_t LAST_ITEM = SERVER_LIST_ITEM;
constexpr uint8_t FIRST_BINDING = 8;
constexpr uint8_t LAST_BINDING = 20;

const char* const ITEM_TEXT[LAST_ITEM + 1] = {
    "Quit game",      "Connect",       "Server ip",    "Server port",  "Player name", "Player team",   "Sound volume",
    "Mouse speed",    "Move forward",  "Move backward", "Strafe left", "Strafe right", "Join/Spectator", "Chat",
    "Attack",         "Knife",         "Pistol",       "MP-40",        "Chaingun",    "Rifle",         "Screen shot",
    "Server list"};
const char* const TEAM_TEXT[4] = {"SS", "Mutant", "Soldat", "Officer"};

// The binding edited by items 8..20, in menu order.
uint8_t& Binding(uint8_t item) {
  switch (item) {
    case 8: return cfg.key_forward;
    case 9: return cfg.key_backward;
    case 10: return cfg.key_left;
    case 11: return cfg.key_right;
    case 12: return cfg.key_specjoin;
    case 13: return cfg.key_chat;
    case 14: return cfg.key_attack;
    case 20: return cfg.key_screenshot;
    default: return cfg.key_gun[item - 14];  // 15..19: weapons 1..5
  }
}

std::string ItemText(uint8_t item) {
  if (item == 1) return conn_state == CS_IDLE ? "Connect" : "Disconnect";
  return ITEM_TEXT[item];
}

std::string ItemValue(uint8_t item) {
  switch (item) {
    case 0:
    case 1: return "";
    case 2: return PrintableText(cfg.server_address);
    case 3: return std::to_string(cfg.server_port);
    case 4: return PrintableText(cfg.name);
    case 5: return TEAM_TEXT[cfg.team & 3];
    case 6: return std::to_string(cfg.sv);
    case 7: return std::to_string(cfg.ms);
    case SERVER_LIST_ITEM: return "";
    default: return key_names[Binding(item)];
  }
}

// Newly pressed (state 2) or held past the repeat delay.
bool Repeating(uint8_t key, uint8_t delay) { return key_state[key] == 2 || key_state[key] > delay; }

bool IsAddressChar(uint8_t c) { return c == '.' || (c >= '0' && c <= '9'); }
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

void Click() { PlaySound(snd_mmove, 0); }

constexpr int kTitleGap = 4;  // pixels between the title and the menu

void SetMenuFont(FontId font) {
  if (l_mvar.font == font && l_mval.font == font) return;
  l_mvar.font = l_mval.font = font;
  l_mvar.setCaption(l_mvar.caption);
  l_mval.setCaption(l_mval.caption);
}

void MoveSelection(int delta) {
  if (delta < 0 && menu_item > 0) --menu_item;
  if (delta > 0 && menu_item < LAST_ITEM) ++menu_item;
  DrawMenu();
  Click();  // also at either end of the list
}

void ConnectOrDisconnect() {
  if (conn_state != CS_IDLE) {
    conn_state = CS_IDLE;
    SendDisconnect();
  } else {
    MenuConnect();
  }
  DrawMenu();
}

// Left and Right on the team, volume and mouse-speed items.
void AdjustValue(int delta, uint8_t key) {
  if (menu_item == 5) {
    if (delta < 0 && cfg.team > 0) --cfg.team;
    if (delta > 0 && cfg.team < 3) ++cfg.team;
  } else if (menu_item == 6) {
    if (delta < 0 && cfg.sv > 0) --cfg.sv;
    if (delta > 0 && cfg.sv < 100) ++cfg.sv;
    cfg.volume_factor = cfg.sv / 200.0f;
    SetVolume();
  } else if (menu_item == 7) {
    if (delta < 0 && cfg.ms > 0) --cfg.ms;
    if (delta > 0 && cfg.ms < 100) ++cfg.ms;
    cfg.mouse_factor = cfg.ms / 200.0f;
  } else {
    return;
  }
  DrawMenu();
  if (menu_item == 6 && key_state[key] == 2) Click();  // only the first step of a held key clicks
}

void EditServerFields() {
  if (menu_item == 2) {
    cfg.server_address = EditText(cfg.server_address, IsAddressChar, 15);
    DrawMenu();
  } else if (menu_item == 3) {
    const std::string text = EditText(std::to_string(cfg.server_port), IsDigit, 5);
    cfg.server_port = text.empty() ? 0 : static_cast<uint16_t>(std::stoul(text));
    DrawMenu();
  }
}

void BindKey() {
  if (last_key == 0 || last_key == VK_UP || last_key == VK_DOWN || last_key == VK_ESCAPE) return;
  if (menu_item < FIRST_BINDING || menu_item > LAST_BINDING) return;
  Binding(menu_item) = last_key;
  DrawMenu();
}

}  // namespace

void DrawMenu() {
  if (server_list_open) {
    DrawServerList();
    return;
  }
  std::string names, values;
  for (uint8_t i = 0; i <= LAST_ITEM; ++i) {
    const char marker = i == menu_item ? '+' : ' ';
    if (i > 0) {
      names += CR;
      values += CR;
    }
    names += marker + ItemText(i);
    values += ItemValue(i) + marker;
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

void ToggleMenu() {
  // Escape on the server list goes back to the menu's lines.
  if (menu_open && server_list_open) {
    CloseServerList();
    return;
  }
  if (menu_open) {
    menu_open = false;
    PlatformSetCursor(mouse_anchor_x, mouse_anchor_y);
  } else {
    menu_open = true;
  }
  image1_visible = !menu_open;
  cursor_visible = menu_open;
  PlatformShowCursor(cursor_visible);
  l_mcpt.visible = menu_open && conn_state == CS_IDLE;
  l_mvar.visible = l_mval.visible = menu_open;
  l_log.visible = !menu_open || conn_state != CS_IDLE;
  ShowScoreboard(l_log.visible);
}

void MenuKeys() {
  if (server_list_open) {
    ServerListKeys();
    return;
  }
  if (Repeating(VK_UP, 15)) MoveSelection(-1);
  if (Repeating(VK_DOWN, 15)) MoveSelection(+1);
  MenuInput();
}

void MenuInput() {
  if (key_state[VK_RETURN] == 2) {
    if (menu_item == 0) Shutdown();
    else if (menu_item == 1) ConnectOrDisconnect();
    else if (menu_item == SERVER_LIST_ITEM) {
      OpenServerList();
      return;  // the Enter that opened the list connects nowhere
    }
  }
  if (Repeating(VK_LEFT, 10)) AdjustValue(-1, VK_LEFT);
  if (Repeating(VK_RIGHT, 10)) AdjustValue(+1, VK_RIGHT);
  if (conn_state == CS_IDLE) EditServerFields();
  if (menu_item == 4) {
    cfg.name = EditText(cfg.name, IsChatChar, 24);
    DrawMenu();
  }
  BindKey();
}

void ResetMenu() { menu_item = 0; }

std::string NormaliseAddress(const std::string& text) {
  // Each part is kept modulo 256 while it is read, which is its low 8 bits
  // however many digits it has.
  unsigned parts[4] = {0, 0, 0, 0};
  int part = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9')
      parts[part] = (parts[part] * 10 + static_cast<unsigned>(c - '0')) & 0xFF;
    else if (c == '.' && part < 3)
      ++part;
  }
  return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." + std::to_string(parts[2]) + "." +
         std::to_string(parts[3]);
}

void MenuConnect() {
  cfg.server_address = NormaliseAddress(cfg.server_address);
  BeginConnection();
  conn_state = CS_CONNECTING;
  awaiting_info = true;
  log_ack = 0;
  if (menu_open) ToggleMenu();
  DrawMenu();  // the item reads "Disconnect" when the menu opens again
}
