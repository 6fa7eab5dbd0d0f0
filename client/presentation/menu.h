// The in-game menu drawn from the core's menu model.
#pragma once

// The menu's lines (or the server list) into its two labels, placed.
void DrawMenu();
// Centres the menu's two columns below the title and inside the window.
void PlaceMenu();
