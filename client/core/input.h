// Keyboard and mouse, the chat line and the view player chosen with the
// attack key while watching.
#pragma once

#include <cstdint>
#include <string>

// Window handlers: they only record, the next frame acts.
void FormKeyDown(uint8_t key);
void FormKeyUp(uint8_t key);
void FormKeyPress(uint8_t character);
void Image2MouseDown(uint8_t button_code);  // 1 left, 2 right, 4 middle
void Image2MouseUp(uint8_t button_code);
void FormMouseUp(uint8_t button_code);
void FormMouseWheelDown();
void FormMouseWheelUp();

void ProcessInput();
void AgeKeyStates();
// Forgets the taps still waiting for their release (start-up).
void ResetKeyReleases();
void HandleKeys();
void MouseLook();

// The text after this frame's typed character: Backspace takes the last one
// off, an allowed character is added while there is room.
std::string EditText(const std::string& text, bool (*allowed)(uint8_t), size_t maximum);
bool IsChatChar(uint8_t c);
void CloseChat();
void NextViewPlayer();
