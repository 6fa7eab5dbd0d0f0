// What the game needs from the window system, the clock and the screen.
// Two implementations: the SDL2 one the game runs with and a headless one
// that works on memory only, for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "client/core/labels.h"

uint32_t PlatformTicks();  // milliseconds
void PlatformScreenSize(int& w, int& h);
bool PlatformWindowActive();

// Window geometry.
void PlatformSetClientSize(int w, int h);
void PlatformClientSize(int& w, int& h);
void PlatformOuterSize(int& w, int& h);
void PlatformSetWindowPos(int left, int top);
void PlatformMaximise();
bool PlatformIsMaximised();

// Cursor, in screen coordinates.
void PlatformGetCursor(int& x, int& y);
void PlatformSetCursor(int x, int y);
void PlatformShowCursor(bool show);

// Size of a caption (CR-separated lines) in the given font.
void PlatformTextSize(FontId font, const std::string& text, int& w, int& h);
// Draws text without background into a memory bitmap of 0x00RRGGBB pixels.
void PlatformDrawText(uint32_t* pixels, int width, int height, int x, int y, FontId font, const std::string& text,
                      uint32_t colour);

// The client area as currently shown (3D view, HUD and labels), 0x00RRGGBB.
bool PlatformCaptureClientArea(std::vector<uint32_t>& pixels, int& w, int& h);
bool PlatformSaveBmp(const std::string& path, const std::vector<uint32_t>& pixels, int w, int h);

// Asks the program to end after the current frame.
void PlatformQuit();
