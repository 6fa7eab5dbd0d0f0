// The platform contract on memory only, for tests: no window, no clock of
// its own, no fonts.
#include "client/presentation/platform_headless.h"

#include <algorithm>

#include "client/core/bmp_writer.h"
#include "client/core/client_state.h"
#include "client/core/platform.h"
#include "client/presentation/platform_fonts.h"

uint32_t headless_ticks;
int headless_cursor_x, headless_cursor_y;
bool headless_cursor_shown;
bool headless_window_active;
int headless_screen_w, headless_screen_h;
int headless_client_w, headless_client_h;
int headless_window_left, headless_window_top;
bool headless_maximised;
bool headless_quit_requested;

void HeadlessReset() {
  headless_ticks = 0;
  headless_cursor_x = headless_cursor_y = 0;
  headless_cursor_shown = true;
  headless_window_active = true;
  headless_screen_w = 1920;
  headless_screen_h = 1080;
  headless_client_w = 792;
  headless_client_h = 500;
  headless_window_left = headless_window_top = 0;
  headless_maximised = false;
  headless_quit_requested = false;
}

namespace {
struct HeadlessStart {
  HeadlessStart() { HeadlessReset(); }
} headless_start;
}  // namespace

uint32_t PlatformTicks() { return headless_ticks; }

void PlatformScreenSize(int& w, int& h) {
  w = headless_screen_w;
  h = headless_screen_h;
}

bool PlatformWindowActive() { return headless_window_active; }

void PlatformSetClientSize(int w, int h) {
  headless_client_w = w;
  headless_client_h = h;
}

void PlatformClientSize(int& w, int& h) {
  w = headless_client_w;
  h = headless_client_h;
}

void PlatformOuterSize(int& w, int& h) {
  w = headless_client_w + HEADLESS_BORDER_W;
  h = headless_client_h + HEADLESS_BORDER_H;
}

void PlatformSetWindowPos(int left, int top) {
  headless_window_left = left;
  headless_window_top = top;
}

void PlatformMaximise() { headless_maximised = true; }
bool PlatformIsMaximised() { return headless_maximised; }

void PlatformGetCursor(int& x, int& y) {
  x = headless_cursor_x;
  y = headless_cursor_y;
}

void PlatformSetCursor(int x, int y) {
  headless_cursor_x = x;
  headless_cursor_y = y;
}

void PlatformShowCursor(bool show) { headless_cursor_shown = show; }

void PlatformTextSize(FontId font, const std::string& text, int& w, int& h) { EstimateTextSize(font, text, w, h); }

// Every visible character becomes a solid cell of its colour, so what was
// written and where can be seen in the pixels.
void PlatformDrawText(uint32_t* pixels, int width, int height, int x, int y, FontId font, const std::string& text,
                      uint32_t colour) {
  const int cw = EstimatedCharWidth(font), ch = kFontFaces[font].pixel_height;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ' ') continue;
    const int left = x + static_cast<int>(i) * cw;
    for (int py = std::max(y, 0); py < std::min(y + ch, height); ++py) {
      for (int px = std::max(left, 0); px < std::min(left + cw - 1, width); ++px) pixels[py * width + px] = colour;
    }
  }
}

// The view and the overlay stretched over the client area, white overlay
// pixels letting the view through.
bool PlatformCaptureClientArea(std::vector<uint32_t>& pixels, int& w, int& h) {
  w = headless_client_w;
  h = headless_client_h;
  if (w <= 0 || h <= 0) return false;
  pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint32_t c = hud_overlay[(y * HUD_H / h) * HUD_W + x * HUD_W / w] & 0xFFFFFF;
      if (c == 0xFFFFFF) c = image1_visible ? view_surface[(y * VIEW_H / h) * VIEW_W + x * VIEW_W / w] & 0xFFFFFF : 0;
      pixels[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] = c;
    }
  }
  return true;
}

bool PlatformSaveBmp(const std::string& path, const std::vector<uint32_t>& pixels, int w, int h) {
  return WriteBmpFile(path, pixels, w, h);
}

void PlatformQuit() { headless_quit_requested = true; }
