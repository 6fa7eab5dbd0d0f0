// The headless platform: the window, clock and cursor as plain memory that
// tests set and read. Text has fixed metrics (platform_fonts.h).
#pragma once

#include <cstdint>

extern uint32_t headless_ticks;                        // PlatformTicks
extern int headless_cursor_x, headless_cursor_y;       // screen coordinates
extern bool headless_cursor_shown;
extern bool headless_window_active;
extern int headless_screen_w, headless_screen_h;
extern int headless_client_w, headless_client_h;
extern int headless_window_left, headless_window_top;  // outer frame
extern bool headless_maximised;
extern bool headless_quit_requested;

constexpr int HEADLESS_BORDER_W = 6;   // outer width minus client width
constexpr int HEADLESS_BORDER_H = 28;  // outer height minus client height (caption and frame)

// Back to a fresh 792 x 500 window on a 1920 x 1080 screen at tick 0.
void HeadlessReset();
