// The menu's items, values, editing and keys, and the server list's browsing.
#include "client/core/menu_model.h"

#include "client/core/client_state.h"
#include "client/core/config.h"
#include "client/core/connection.h"
#include "client/core/event_log.h"
#include "client/core/input.h"
#include "client/core/keys.h"
#include "client/core/labels.h"
#include "client/core/lifecycle.h"
#include "client/core/platform.h"
#include "client/core/presentation.h"
#include "client/core/scoreboard.h"
#include "client/core/server_list.h"
#include "protocol/weapons.h"

uint8_t menu_item = MENU_QUIT;
bool server_list_open = false;
uint8_t server_list_item = 0;
std::string server_list_problem;

namespace {

constexpr uint32_t kServerListRoundMs = 3000;

const char* const kItemText[MENU_FIRST_GUN_KEY] = {
    "Quit game",    "Connect",       "Server ip",   "Server port",  "Player name",    "Player team", "Sound volume",
    "Mouse speed",  "Move forward",  "Move backward", "Strafe left", "Strafe right", "Join/Spectator", "Chat",
    "Attack"};

uint32_t last_round_ms = 0;
size_t entries_drawn = 0;

uint8_t Weapon(uint8_t item) { return static_cast<uint8_t>(item - MENU_FIRST_GUN_KEY + 1); }

// The binding edited by an item from MENU_MOVE_FORWARD to MENU_SCREENSHOT.
uint8_t& Binding(uint8_t item) {
  switch (item) {
    case MENU_MOVE_FORWARD: return cfg.key_forward;
    case MENU_MOVE_BACKWARD: return cfg.key_backward;
    case MENU_STRAFE_LEFT: return cfg.key_left;
    case MENU_STRAFE_RIGHT: return cfg.key_right;
    case MENU_JOIN_SPECTATE: return cfg.key_specjoin;
    case MENU_CHAT: return cfg.key_chat;
    case MENU_ATTACK: return cfg.key_attack;
    case MENU_SCREENSHOT: return cfg.key_screenshot;
    default: return cfg.key_gun[Weapon(item)];
  }
}

// Newly pressed (state 2) or held past the repeat delay.
bool Repeating(uint8_t key, uint8_t delay) { return key_state[key] == 2 || key_state[key] > delay; }

bool IsAddressChar(uint8_t c) { return c == '.' || (c >= '0' && c <= '9'); }
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

void Click() { PlayCue(Cue::MenuMove, 0); }

void MoveSelection(int delta) {
  if (delta < 0 && menu_item > 0) --menu_item;
  if (delta > 0 && menu_item < MENU_SERVER_LIST) ++menu_item;
  MenuChanged();
  Click();  // also at either end of the list
}

void ConnectOrDisconnect() {
  if (conn_state != CS_IDLE) {
    Disconnect();
  } else {
    Connect();
  }
  MenuChanged();
}

// Left and Right on the team, volume and mouse-speed items.
void AdjustValue(int delta, uint8_t key) {
  if (menu_item == MENU_PLAYER_TEAM) {
    if (delta < 0 && cfg.team > 0) --cfg.team;
    if (delta > 0 && cfg.team < NUM_TEAMS - 1) ++cfg.team;
  } else if (menu_item == MENU_SOUND_VOLUME) {
    if (delta < 0 && cfg.sv > 0) --cfg.sv;
    if (delta > 0 && cfg.sv < 100) ++cfg.sv;
    cfg.volume_factor = cfg.sv / 200.0f;
  } else if (menu_item == MENU_MOUSE_SPEED) {
    if (delta < 0 && cfg.ms > 0) --cfg.ms;
    if (delta > 0 && cfg.ms < 100) ++cfg.ms;
    cfg.mouse_factor = cfg.ms / 200.0f;
  } else {
    return;
  }
  MenuChanged();
  // Only the first step of a held key clicks.
  if (menu_item == MENU_SOUND_VOLUME && key_state[key] == 2) Click();
}

void EditServerFields() {
  if (menu_item == MENU_SERVER_IP) {
    cfg.server_address = EditText(cfg.server_address, IsAddressChar, 15);
    MenuChanged();
  } else if (menu_item == MENU_SERVER_PORT) {
    const std::string text = EditText(std::to_string(cfg.server_port), IsDigit, 5);
    cfg.server_port = text.empty() ? 0 : static_cast<uint16_t>(std::stoul(text));
    MenuChanged();
  }
}

void BindKey() {
  if (last_key == 0 || last_key == VK_UP || last_key == VK_DOWN || last_key == VK_ESCAPE) return;
  if (menu_item < MENU_MOVE_FORWARD || menu_item > MENU_SCREENSHOT) return;
  Binding(menu_item) = last_key;
  MenuChanged();
}

// ------------------------------------------------------------ server list

void MoveInServerList(int delta) {
  const size_t count = ServerListEntries().size();
  if (delta < 0 && server_list_item > 0) --server_list_item;
  const size_t next = server_list_item + 1u;
  if (delta > 0 && next < count && next < SERVER_LIST_LINES_SHOWN) ++server_list_item;
  MenuChanged();
  Click();
}

void ConnectToChosen() {
  const auto& entries = ServerListEntries();
  if (server_list_item >= entries.size()) return;
  const ServerListEntry& e = entries[server_list_item];
  if (conn_state != CS_IDLE) Disconnect();
  cfg.server_address = e.address;
  cfg.server_port = e.port;
  CloseServerList();
  Connect();
}

// Once a frame while the list is shown: answers, a new round every few
// seconds, the keys.
void ServerListKeys() {
  const uint32_t now = PlatformTicks();
  if (now - last_round_ms >= kServerListRoundMs) {
    last_round_ms = now;
    ServerListSend(now);
  }
  if (ServerListPoll(now) > 0 || ServerListEntries().size() != entries_drawn) {
    entries_drawn = ServerListEntries().size();
    MenuChanged();
  }
  if (Repeating(VK_UP, 15)) MoveInServerList(-1);
  if (Repeating(VK_DOWN, 15)) MoveInServerList(+1);
  if (key_state[VK_RETURN] == 2) ConnectToChosen();
}

}  // namespace

std::string MenuItemText(uint8_t item) {
  if (item == MENU_CONNECT && conn_state != CS_IDLE) return "Disconnect";
  if (item >= MENU_FIRST_GUN_KEY && item <= MENU_LAST_GUN_KEY) return WEAPONS[Weapon(item)].menu_text;
  if (item == MENU_SCREENSHOT) return "Screen shot";
  if (item == MENU_SERVER_LIST) return "Server list";
  return item < MENU_FIRST_GUN_KEY ? kItemText[item] : "";
}

std::string MenuItemValue(uint8_t item) {
  switch (item) {
    case MENU_QUIT:
    case MENU_CONNECT:
    case MENU_SERVER_LIST: return "";
    case MENU_SERVER_IP: return PrintableText(cfg.server_address);
    case MENU_SERVER_PORT: return std::to_string(cfg.server_port);
    case MENU_PLAYER_NAME: return PrintableText(cfg.name);
    case MENU_PLAYER_TEAM: return TEAMS[cfg.team % NUM_TEAMS].menu_text;
    case MENU_SOUND_VOLUME: return std::to_string(cfg.sv);
    case MENU_MOUSE_SPEED: return std::to_string(cfg.ms);
    default: return item < MENU_ITEMS ? key_names[Binding(item)] : "";
  }
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
    if (menu_item == MENU_QUIT) Shutdown();
    else if (menu_item == MENU_CONNECT) ConnectOrDisconnect();
    else if (menu_item == MENU_SERVER_LIST) {
      OpenServerList();
      return;  // the Enter that opened the list connects nowhere
    }
  }
  if (Repeating(VK_LEFT, 10)) AdjustValue(-1, VK_LEFT);
  if (Repeating(VK_RIGHT, 10)) AdjustValue(+1, VK_RIGHT);
  if (conn_state == CS_IDLE) EditServerFields();
  if (menu_item == MENU_PLAYER_NAME) {
    cfg.name = EditText(cfg.name, IsChatChar, 24);
    MenuChanged();
  }
  BindKey();
}

void OpenServerList() {
  server_list_open = true;
  server_list_item = 0;
  server_list_problem.clear();
  if (ServerListStart()) {
    ServerListAddNamed(cfg.server_address, cfg.server_port);
    std::string problem;
    ServerListUseLan(LanTargetsFromEnvironment(problem));
    if (!problem.empty()) LogLine(problem);
    last_round_ms = PlatformTicks();
    ServerListSend(last_round_ms);
  } else {
    server_list_problem = "No UDP socket for the server list";
    LogLine(server_list_problem);
  }
  entries_drawn = ServerListEntries().size();
  MenuChanged();
}

void CloseServerList() {
  server_list_open = false;
  ServerListStop();
  MenuChanged();
}

void ResetMenu() {
  menu_item = MENU_QUIT;
  server_list_open = false;
  server_list_item = 0;
  server_list_problem.clear();
}
