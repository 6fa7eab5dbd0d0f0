// The in-game menu.
#pragma once

#include <cstdint>
#include <string>

extern uint8_t menu_item;  // 0..21

void DrawMenu();
// Escape: opens or closes the menu; on the server list, back to the menu.
void ToggleMenu();
// Up/Down navigation with the held-key repeat, then MenuInput.
void MenuKeys();
void MenuInput();
std::string EditText(const std::string& text, bool (*allowed)(uint8_t), size_t maximum);
std::string NormaliseAddress(const std::string& text);
// What the menu's "Connect" does: also used by --connect at start-up.
void MenuConnect();
