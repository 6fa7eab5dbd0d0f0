// Temporary memory-only platform so the client library links in tests until
// the real headless platform arrives: fixed text metrics, no drawing.
#include <string>
#include <vector>

#include "client/core/platform.h"

namespace {
int client_w = 800, client_h = 600;
bool maximised = false;
int cursor_x = 0, cursor_y = 0;
uint32_t ticks = 0;
}  // namespace

uint32_t PlatformTicks() { return ticks += 30; }
void PlatformScreenSize(int& w, int& h) {
  w = 1920;
  h = 1080;
}
bool PlatformWindowActive() { return true; }

void PlatformSetClientSize(int w, int h) {
  client_w = w;
  client_h = h;
}
void PlatformClientSize(int& w, int& h) {
  w = client_w;
  h = client_h;
}
void PlatformOuterSize(int& w, int& h) {
  w = client_w;
  h = client_h;
}
void PlatformSetWindowPos(int, int) {}
void PlatformMaximise() { maximised = true; }
bool PlatformIsMaximised() { return maximised; }

void PlatformGetCursor(int& x, int& y) {
  x = cursor_x;
  y = cursor_y;
}
void PlatformSetCursor(int x, int y) {
  cursor_x = x;
  cursor_y = y;
}
void PlatformShowCursor(bool) {}

void PlatformTextSize(FontId, const std::string& text, int& w, int& h) {
  int lines = 1, longest = 0, current = 0;
  for (char c : text) {
    if (c == 13) {
      ++lines;
      current = 0;
    } else if (++current > longest) {
      longest = current;
    }
  }
  w = 8 * longest;
  h = 16 * lines;
}
void PlatformDrawText(uint32_t*, int, int, int, int, FontId, const std::string&, uint32_t) {}

bool PlatformCaptureClientArea(std::vector<uint32_t>&, int&, int&) { return false; }
bool PlatformSaveBmp(const std::string&, const std::vector<uint32_t>&, int, int) { return false; }
void PlatformQuit() {}
