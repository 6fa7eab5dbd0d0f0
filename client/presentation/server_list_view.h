// The server list drawn in place of the menu's lines: the saved server and
// the servers on the LAN with their name, map, players and ping. What it
// shows and which line is chosen is the core's (core/menu_model.h,
// core/server_list.h).
#pragma once

// The list's lines into the menu's two labels.
void DrawServerList();
