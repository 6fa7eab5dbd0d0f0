// The SDL2 window: geometry, cursor, clock, the keyboard and mouse turned
// into the window handlers of the game, and the 30 ms frame loop.
#include "client/presentation/platform_sdl.h"

#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/core/client_state.h"
#include "client/core/event_log.h"
#include "client/core/input.h"
#include "client/core/lifecycle.h"
#include "client/core/keys.h"
#include "client/core/platform.h"
#include "client/presentation/hud.h"

namespace {

constexpr int kDesignClientW = 792;
constexpr int kDesignClientH = 500;

SDL_Window* window = nullptr;
SDL_Renderer* renderer = nullptr;
bool quit_requested = false;
volatile sig_atomic_t hang_up = 0;

void HangUp(int) { hang_up = 1; }

// A closed terminal ends the game as SIGTERM does (SDL turns that into a
// quit event): the frame loop stops and the shutdown sends the disconnect
// and saves config.cfg. A hang-up ignored on purpose (nohup) stays ignored.
void EndOnHangUp() {
  struct sigaction old {};
  if (sigaction(SIGHUP, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = HangUp;
  sigemptyset(&action.sa_mask);
  sigaction(SIGHUP, &action, nullptr);
}

// Fullscreen, and the window as it was before it: size and maximised state.
bool fullscreen = false;
int windowed_w = kDesignClientW, windowed_h = kDesignClientH;
int windowed_x = 0, windowed_y = 0;
bool windowed_maximised = false, windowed_resizable = false;

// While the cursor is hidden the mouse is read as relative motion; the
// cursor position the game sees is then this virtual one.
bool relative_mouse = false;
int virtual_cursor_x = 0, virtual_cursor_y = 0;

// SDL scancodes to the Windows virtual-key codes config.cfg stores. Keys
// by position, so the bindings do not move with the keyboard layout.
struct KeyMapping {
  SDL_Scancode scancode;
  uint8_t vk;
};
constexpr KeyMapping kKeyMappings[] = {
    {SDL_SCANCODE_BACKSPACE, VK_BACK}, {SDL_SCANCODE_TAB, VK_TAB}, {SDL_SCANCODE_RETURN, VK_RETURN},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN}, {SDL_SCANCODE_LSHIFT, VK_SHIFT}, {SDL_SCANCODE_RSHIFT, VK_SHIFT},
    {SDL_SCANCODE_LCTRL, VK_CONTROL}, {SDL_SCANCODE_RCTRL, VK_CONTROL}, {SDL_SCANCODE_LALT, VK_MENU},
    {SDL_SCANCODE_RALT, VK_MENU}, {SDL_SCANCODE_PAUSE, VK_PAUSE}, {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL},
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE}, {SDL_SCANCODE_SPACE, VK_SPACE}, {SDL_SCANCODE_PAGEUP, VK_PRIOR},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT}, {SDL_SCANCODE_END, VK_END}, {SDL_SCANCODE_HOME, VK_HOME},
    {SDL_SCANCODE_LEFT, VK_LEFT}, {SDL_SCANCODE_UP, VK_UP}, {SDL_SCANCODE_RIGHT, VK_RIGHT},
    {SDL_SCANCODE_DOWN, VK_DOWN}, {SDL_SCANCODE_PRINTSCREEN, VK_SNAPSHOT}, {SDL_SCANCODE_INSERT, VK_INSERT},
    {SDL_SCANCODE_DELETE, VK_DELETE}, {SDL_SCANCODE_0, '0'}, {SDL_SCANCODE_1, '1'},
    {SDL_SCANCODE_2, '2'}, {SDL_SCANCODE_3, '3'}, {SDL_SCANCODE_4, '4'},
    {SDL_SCANCODE_5, '5'}, {SDL_SCANCODE_6, '6'}, {SDL_SCANCODE_7, '7'},
    {SDL_SCANCODE_8, '8'}, {SDL_SCANCODE_9, '9'}, {SDL_SCANCODE_A, 'A'},
    {SDL_SCANCODE_B, 'B'}, {SDL_SCANCODE_C, 'C'}, {SDL_SCANCODE_D, 'D'},
    {SDL_SCANCODE_E, 'E'}, {SDL_SCANCODE_F, 'F'}, {SDL_SCANCODE_G, 'G'},
    {SDL_SCANCODE_H, 'H'}, {SDL_SCANCODE_I, 'I'}, {SDL_SCANCODE_J, 'J'},
    {SDL_SCANCODE_K, 'K'}, {SDL_SCANCODE_L, 'L'}, {SDL_SCANCODE_M, 'M'},
    {SDL_SCANCODE_N, 'N'}, {SDL_SCANCODE_O, 'O'}, {SDL_SCANCODE_P, 'P'},
    {SDL_SCANCODE_Q, 'Q'}, {SDL_SCANCODE_R, 'R'}, {SDL_SCANCODE_S, 'S'},
    {SDL_SCANCODE_T, 'T'}, {SDL_SCANCODE_U, 'U'}, {SDL_SCANCODE_V, 'V'},
    {SDL_SCANCODE_W, 'W'}, {SDL_SCANCODE_X, 'X'}, {SDL_SCANCODE_Y, 'Y'},
    {SDL_SCANCODE_Z, 'Z'}, {SDL_SCANCODE_LGUI, VK_LWIN}, {SDL_SCANCODE_RGUI, VK_RWIN},
    {SDL_SCANCODE_APPLICATION, VK_APPS}, {SDL_SCANCODE_KP_0, VK_NUMPAD0}, {SDL_SCANCODE_KP_1, VK_NUMPAD0 + 1},
    {SDL_SCANCODE_KP_2, VK_NUMPAD0 + 2}, {SDL_SCANCODE_KP_3, VK_NUMPAD0 + 3}, {SDL_SCANCODE_KP_4, VK_NUMPAD0 + 4},
    {SDL_SCANCODE_KP_5, VK_NUMPAD0 + 5}, {SDL_SCANCODE_KP_6, VK_NUMPAD0 + 6}, {SDL_SCANCODE_KP_7, VK_NUMPAD0 + 7},
    {SDL_SCANCODE_KP_8, VK_NUMPAD0 + 8}, {SDL_SCANCODE_KP_9, VK_NUMPAD0 + 9}, {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY},
    {SDL_SCANCODE_KP_PLUS, VK_ADD}, {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT}, {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE}, {SDL_SCANCODE_F1, VK_F1}, {SDL_SCANCODE_F2, VK_F1 + 1},
    {SDL_SCANCODE_F3, VK_F1 + 2}, {SDL_SCANCODE_F4, VK_F1 + 3}, {SDL_SCANCODE_F5, VK_F1 + 4},
    {SDL_SCANCODE_F6, VK_F1 + 5}, {SDL_SCANCODE_F7, VK_F1 + 6}, {SDL_SCANCODE_F8, VK_F1 + 7},
    {SDL_SCANCODE_F9, VK_F1 + 8}, {SDL_SCANCODE_F10, VK_F1 + 9}, {SDL_SCANCODE_F11, VK_F1 + 10},
    {SDL_SCANCODE_F12, VK_F1 + 11}, {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK}, {SDL_SCANCODE_SCROLLLOCK, VK_SCROLL},
    {SDL_SCANCODE_SEMICOLON, VK_OEM_1}, {SDL_SCANCODE_EQUALS, VK_OEM_PLUS}, {SDL_SCANCODE_COMMA, VK_OEM_COMMA},
    {SDL_SCANCODE_MINUS, VK_OEM_MINUS}, {SDL_SCANCODE_PERIOD, VK_OEM_PERIOD}, {SDL_SCANCODE_SLASH, VK_OEM_2},
    {SDL_SCANCODE_GRAVE, VK_OEM_3}, {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4}, {SDL_SCANCODE_BACKSLASH, VK_OEM_5},
    {SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6}, {SDL_SCANCODE_APOSTROPHE, VK_OEM_7},
};

uint8_t VirtualKey(SDL_Scancode sc) {
  for (const KeyMapping& m : kKeyMappings) {
    if (m.scancode == sc) return m.vk;
  }
  return 0;
}

// Keys that also type a control character, as a key press would report it.
uint8_t ControlCharacter(uint8_t vk) {
  switch (vk) {
    case VK_BACK: case VK_TAB: case VK_RETURN: case VK_ESCAPE: return vk;
    default: return 0;
  }
}

uint8_t MouseButtonCode(uint8_t sdl_button) {
  switch (sdl_button) {
    case SDL_BUTTON_LEFT: return VK_LBUTTON;
    case SDL_BUTTON_RIGHT: return VK_RBUTTON;
    case SDL_BUTTON_MIDDLE: return VK_MBUTTON;
    default: return 0;
  }
}

// Typed text arrives as UTF-8; the game's characters are the codes 0..255.
void TypeText(const char* utf8) {
  const auto* s = reinterpret_cast<const unsigned char*>(utf8);
  while (*s) {
    uint32_t cp = *s++;
    if (cp >= 0xC0 && cp < 0xE0 && (*s & 0xC0) == 0x80) {
      cp = ((cp & 0x1F) << 6) | (*s++ & 0x3F);
    } else if (cp >= 0x80) {
      while ((*s & 0xC0) == 0x80) ++s;  // outside the game's character range
      continue;
    }
    if (cp >= 32 && cp <= 255 && cp != 127) FormKeyPress(static_cast<uint8_t>(cp));
  }
}

// Alt+Enter and F11 belong to the window, not to the game: the Enter of
// Alt+Enter must not choose a menu item.
bool IsFullscreenKey(const SDL_KeyboardEvent& key) {
  const SDL_Scancode sc = key.keysym.scancode;
  if (sc == SDL_SCANCODE_F11) return true;
  return (sc == SDL_SCANCODE_RETURN || sc == SDL_SCANCODE_KP_ENTER) && (key.keysym.mod & KMOD_ALT) != 0;
}

void HandleKeyDown(const SDL_KeyboardEvent& key) {
  if (IsFullscreenKey(key)) {
    if (!key.repeat) SdlToggleFullscreen();
    return;
  }
  const uint8_t vk = VirtualKey(key.keysym.scancode);
  if (vk == 0) return;
  FormKeyDown(vk);
  if (uint8_t c = ControlCharacter(vk)) FormKeyPress(c);
}

void HandleWindowEvent(const SDL_WindowEvent& e) {
  switch (e.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED: FormActivate(); break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: LayoutScreen(); break;
    case SDL_WINDOWEVENT_CLOSE: quit_requested = true; break;
    default: break;
  }
}

void HandleEvent(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT: quit_requested = true; break;
    case SDL_KEYDOWN: HandleKeyDown(e.key); break;
    case SDL_KEYUP:
      if (uint8_t vk = VirtualKey(e.key.keysym.scancode)) FormKeyUp(vk);
      break;
    case SDL_TEXTINPUT: TypeText(e.text.text); break;
    case SDL_MOUSEBUTTONDOWN:
      if (uint8_t code = MouseButtonCode(e.button.button)) Image2MouseDown(code);
      break;
    case SDL_MOUSEBUTTONUP:
      if (uint8_t code = MouseButtonCode(e.button.button)) Image2MouseUp(code);
      break;
    case SDL_MOUSEWHEEL:
      if (e.wheel.y > 0) FormMouseWheelUp();
      if (e.wheel.y < 0) FormMouseWheelDown();
      break;
    case SDL_MOUSEMOTION:
      if (relative_mouse) {
        virtual_cursor_x += e.motion.xrel;
        virtual_cursor_y += e.motion.yrel;
      }
      break;
    case SDL_WINDOWEVENT: HandleWindowEvent(e.window); break;
    default: break;
  }
}

SDL_Renderer* CreateRenderer() {
  // Any renderer will do; the dummy video driver only has the software one.
  if (SDL_Renderer* r = SDL_CreateRenderer(window, -1, 0)) return r;
  return SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
}

}  // namespace

bool SdlFullscreen() { return fullscreen; }

SDL_Rect SdlPictureRect() {
  int w = kDesignClientW, h = kDesignClientH;
  if (window) SDL_GetWindowSize(window, &w, &h);
  if (!fullscreen) return SDL_Rect{0, 0, w, h};
  // The picture keeps its 4:3, as the window's own sizes have it (640 x 480
  // ... 1024 x 768), centred between black bars.
  const int pw = std::min(w, h * 4 / 3);
  const int ph = std::min(h, static_cast<int>(pw / 1.33333));
  return SDL_Rect{(w - pw) / 2, (h - ph) / 2, pw, ph};
}

// Desktop fullscreen as a borderless window over the whole display at the
// desktop's own mode: window managers treat it as fullscreen, it needs no
// mode change, and it works where no window manager runs at all.
static void EnterFullscreen() {
  const int display = std::max(SDL_GetWindowDisplayIndex(window), 0);
  SDL_Rect bounds;
  if (SDL_GetDisplayBounds(display, &bounds) != 0) {
    ShowLogLine("Fullscreen is not available: " + std::string(SDL_GetError()));
    return;
  }
  const Uint32 flags = SDL_GetWindowFlags(window);
  windowed_maximised = (flags & SDL_WINDOW_MAXIMIZED) != 0;
  windowed_resizable = (flags & SDL_WINDOW_RESIZABLE) != 0;
  if (windowed_maximised) SDL_RestoreWindow(window);
  SDL_GetWindowSize(window, &windowed_w, &windowed_h);
  SDL_GetWindowPosition(window, &windowed_x, &windowed_y);
  fullscreen = true;
  SDL_SetWindowResizable(window, SDL_TRUE);  // a fixed-size window cannot cover the screen
  SDL_SetWindowBordered(window, SDL_FALSE);
  SDL_SetWindowPosition(window, bounds.x, bounds.y);
  SDL_SetWindowSize(window, bounds.w, bounds.h);
  SDL_RaiseWindow(window);
}

static void LeaveFullscreen() {
  fullscreen = false;
  SDL_SetWindowBordered(window, SDL_TRUE);
  SDL_SetWindowSize(window, windowed_w, windowed_h);
  SDL_SetWindowPosition(window, windowed_x, windowed_y);
  SDL_SetWindowResizable(window, windowed_resizable ? SDL_TRUE : SDL_FALSE);
  if (windowed_maximised) SDL_MaximizeWindow(window);
}

void SdlToggleFullscreen() {
  if (!window) return;
  if (fullscreen)
    LeaveFullscreen();
  else
    EnterFullscreen();
  LayoutScreen();
}

SDL_Renderer* SdlRenderer() { return renderer; }

// SDL falls back to a driver without a screen when no display answers; the
// game would then run where nobody sees it. Only a user who names such a
// driver (SDL_VIDEODRIVER, as the tests do) gets it.
static bool FellBackToNoScreen() {
  const char* asked = std::getenv("SDL_VIDEODRIVER");
  if (asked && *asked) return false;
  const char* driver = SDL_GetCurrentVideoDriver();
  return !driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
}

bool SdlOpenWindow() {
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
    std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
    return false;
  }
  if (FellBackToNoScreen()) {
    std::fprintf(stderr,
                 "No display found: the game needs a window (set DISPLAY or WAYLAND_DISPLAY; "
                 "SDL_VIDEODRIVER=offscreen runs it without one)\n");
    SDL_Quit();
    return false;
  }
  window = SDL_CreateWindow("Vornax : DeathMatch", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kDesignClientW,
                            kDesignClientH, 0);
  if (!window) {
    std::fprintf(stderr, "SDL_CreateWindow: %s\n", SDL_GetError());
    return false;
  }
  renderer = CreateRenderer();
  if (!renderer || !SdlCreateDrawing()) {
    std::fprintf(stderr, "SDL renderer: %s\n", SDL_GetError());
    return false;
  }
  SDL_StartTextInput();
  EndOnHangUp();
  return true;
}

void SdlCloseWindow() {
  SdlDestroyDrawing();
  if (renderer) SDL_DestroyRenderer(renderer);
  if (window) SDL_DestroyWindow(window);
  renderer = nullptr;
  window = nullptr;
  SDL_Quit();
}

void SdlRunFrames(void (*frame)(), long max_frames, void (*before_frame)()) {
  long frames = 0;
  uint32_t due = SDL_GetTicks() + FRAME_INTERVAL_MS;
  while (!quit_requested && !hang_up) {
    SDL_Event e;
    const int32_t wait = static_cast<int32_t>(due - SDL_GetTicks());
    if (wait > 0 ? SDL_WaitEventTimeout(&e, wait) : SDL_PollEvent(&e)) {
      HandleEvent(e);
      while (SDL_PollEvent(&e)) HandleEvent(e);
    }
    const uint32_t now = SDL_GetTicks();
    if (!timer1_enabled) {
      due = now + FRAME_INTERVAL_MS;  // the timer's first tick comes an interval after it starts
      continue;
    }
    if (static_cast<int32_t>(now - due) < 0) continue;
    if (before_frame) before_frame();
    frame();
    if (!quit_requested) SdlPresent();
    // A late tick runs one frame; missed ticks are not made up.
    due += FRAME_INTERVAL_MS;
    if (static_cast<int32_t>(now - due) >= 0) due = now + FRAME_INTERVAL_MS;
    if (max_frames > 0 && ++frames >= max_frames) quit_requested = true;
  }
}

// ---- platform.h ---------------------------------------------------------

uint32_t PlatformTicks() { return SDL_GetTicks(); }

void PlatformScreenSize(int& w, int& h) {
  SDL_DisplayMode mode;
  const int display = window ? SDL_GetWindowDisplayIndex(window) : 0;
  if (SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) == 0) {
    w = mode.w;
    h = mode.h;
  } else {
    w = 1024;
    h = 768;
  }
}

bool PlatformWindowActive() { return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS) != 0; }

void PlatformSetClientSize(int w, int h) {
  windowed_w = w;
  windowed_h = h;
  if (window && !fullscreen) SDL_SetWindowSize(window, w, h);
}

void PlatformClientSize(int& w, int& h) {
  const SDL_Rect picture = SdlPictureRect();
  w = picture.w;
  h = picture.h;
}

void PlatformOuterSize(int& w, int& h) {
  int top = 0, left = 0, bottom = 0, right = 0;
  PlatformClientSize(w, h);
  if (window && SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) == 0) {
    w += left + right;
    h += top + bottom;
  }
}

void PlatformSetWindowPos(int left, int top) {
  if (!window) return;
  int border_top = 0, border_left = 0;
  SDL_GetWindowBordersSize(window, &border_top, &border_left, nullptr, nullptr);
  // SDL places the client area; the game places the outer frame.
  SDL_SetWindowPosition(window, left + border_left, top + border_top);
}

void PlatformMaximise() {
  if (!window) return;
  // The border stays fixed for the user, but a window manager only
  // maximises windows that may change size.
  SDL_SetWindowResizable(window, SDL_TRUE);
  SDL_MaximizeWindow(window);
}

// In fullscreen, the state the window goes back to.
bool PlatformIsMaximised() {
  if (fullscreen) return windowed_maximised;
  return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_MAXIMIZED) != 0;
}

void PlatformGetCursor(int& x, int& y) {
  if (relative_mouse) {
    x = virtual_cursor_x;
    y = virtual_cursor_y;
  } else {
    SDL_GetGlobalMouseState(&x, &y);
  }
}

void PlatformSetCursor(int x, int y) {
  virtual_cursor_x = x;
  virtual_cursor_y = y;
  if (!relative_mouse && window && (SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS)) SDL_WarpMouseGlobal(x, y);
}

void PlatformShowCursor(bool show) {
  // Hidden means mouse look: relative motion, the pointer held in the window.
  relative_mouse = !show && SDL_SetRelativeMouseMode(SDL_TRUE) == 0;
  if (show) SDL_SetRelativeMouseMode(SDL_FALSE);
  SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void PlatformQuit() { quit_requested = true; }
