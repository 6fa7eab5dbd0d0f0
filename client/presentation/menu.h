// The in-game menu.
#pragma once

#include <cstdint>
#include <string>

#include "client/core/presentation.h"  // ToggleMenu, MenuKeys, MenuConnect

extern uint8_t menu_item;  // 0..21
// The selection back on the first item (start-up).
void ResetMenu();

void DrawMenu();
// Centres the menu's two columns below the title and inside the window.
void PlaceMenu();
// Up/Down navigation with the held-key repeat, then MenuInput.
void MenuInput();
std::string NormaliseAddress(const std::string& text);
