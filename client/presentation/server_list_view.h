// The server list in the menu: the saved server and the servers on the LAN
// with their name, map, players and ping. Up and Down choose a line, Enter
// connects to it, Escape goes back to the menu.
#pragma once

#include <cstdint>

extern bool server_list_open;
extern uint8_t server_list_item;  // the chosen line

// Shows the list in place of the menu's lines and asks the servers.
void OpenServerList();
// Back to the menu's lines; no more queries are sent.
void CloseServerList();
// Once a frame while the list is shown: answers, a new round every few
// seconds, the keys.
void ServerListKeys();
// The list's lines into the menu's two labels.
void DrawServerList();
