// Keyboard and mouse, chat, the event log, announcements, frame rate and
// screenshots.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
void LogLine(const std::string& text);      // outlog.txt and the on-screen log
void ShowLogLine(const std::string& text);  // on-screen log only
void RefreshLog();
void Announce(const std::string& text);
void CloseChat();
void NextViewPlayer();
void TakeScreenshot();
void UpdateFps();
// The frame-rate clock starts again from now (start-up).
void ResetFrameClock();
// The same without asking the platform for the time: zero.
void ClearFrameClock();
// A 24-bit Windows bitmap of 0x00RRGGBB pixels, top row first in memory.
bool WriteBmpFile(const std::string& path, const std::vector<uint32_t>& pixels, int w, int h);
