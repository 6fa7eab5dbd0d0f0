// The in-game menu as the game keeps it: its items, which one is chosen, the
// settings they show and edit, the keys while it is open, whether it is open,
// and the server list it leads to. The presentation only draws it
// (presentation/menu.cpp, server_list_view.cpp) when told the menu changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "protocol/protocol.h"

// The menu's lines, top to bottom.
enum MenuItem : uint8_t {
  MENU_QUIT,
  MENU_CONNECT,
  MENU_SERVER_IP,
  MENU_SERVER_PORT,
  MENU_PLAYER_NAME,
  MENU_PLAYER_TEAM,
  MENU_SOUND_VOLUME,
  MENU_MOUSE_SPEED,
  MENU_MOVE_FORWARD,  // the first key binding
  MENU_MOVE_BACKWARD,
  MENU_STRAFE_LEFT,
  MENU_STRAFE_RIGHT,
  MENU_JOIN_SPECTATE,
  MENU_CHAT,
  MENU_ATTACK,
  MENU_FIRST_GUN_KEY,  // weapon 1; one line per weapon
  MENU_LAST_GUN_KEY = MENU_FIRST_GUN_KEY + NUM_WEAPONS - 1,
  MENU_SCREENSHOT,     // the last key binding
  MENU_SERVER_LIST,
  MENU_ITEMS,
};

extern uint8_t menu_item;  // the chosen line, a MenuItem
// The server list shown in place of the lines, and its chosen entry.
extern bool server_list_open;
extern uint8_t server_list_item;
// Why the list cannot ask any server; empty when it can.
extern std::string server_list_problem;
constexpr size_t SERVER_LIST_LINES_SHOWN = 20;

// An item's name ("Connect" reads "Disconnect" while connected) and value.
std::string MenuItemText(uint8_t item);
std::string MenuItemValue(uint8_t item);

// Escape: opens or closes the menu, or leaves the server list.
void ToggleMenu();
// Once a frame while the menu is open: Up/Down with the held-key repeat, then
// MenuInput (or the server list's keys).
void MenuKeys();
// Enter, Left/Right, typing and binding on the chosen item.
void MenuInput();
// Shows the list in place of the menu's lines and asks the servers.
void OpenServerList();
// Back to the menu's lines; no more queries are sent.
void CloseServerList();
// The selection on the first item and the server list closed (start-up).
void ResetMenu();
