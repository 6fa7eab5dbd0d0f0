// Keyboard and mouse: the window handlers only record key states; once per
// frame ProcessInput turns them into the frame's action, movement, mouse
// look, menu and chat.
#include "client/core/input.h"

#include <cmath>
#include <cstring>

#include "client/core/client_state.h"
#include "client/core/connection.h"
#include "client/core/event_log.h"
#include "client/core/labels.h"
#include "client/core/menu_model.h"
#include "client/core/platform.h"
#include "client/core/presentation.h"
#include "client/core/scoreboard.h"
#include "client/core/screenshot.h"
#include "client/core/session.h"
#include "client/core/world.h"

namespace {

constexpr size_t kChatLimit = 84;

// A key released before any frame saw it down (a tap shorter than a frame)
// is let go one frame late, so that frame still sees it newly pressed.
bool release_pending[256];

// 1 = went down since the last frame; the frame's ageing makes it 2 in
// exactly one frame.
bool NewlyPressed(uint8_t key) { return key_state[key] == 2; }
bool Held(uint8_t key) { return key_state[key] > 0; }

void PressKey(uint8_t key) {
  release_pending[key] = false;
  if (key_state[key] == 0) key_state[key] = 1;
}

void ReleaseKey(uint8_t key) {
  if (key_state[key] == 1) {
    release_pending[key] = true;
  } else {
    key_state[key] = 0;
  }
}

// A line wider than the window shows its end, where the typing goes on;
// the whole line is still what is sent.
void ShowChatLine() {
  int cw = 0, ch = 0;
  PlatformClientSize(cw, ch);
  size_t hidden = 0;
  l_chat.setCaption(" SAY: " + chat_line);
  while (l_chat.width > cw && hidden < chat_line.size()) l_chat.setCaption(" SAY: " + chat_line.substr(++hidden));
}

void TypeChat() {
  chat_line = EditText(chat_line, IsChatChar, kChatLimit);
  ShowChatLine();
  if (NewlyPressed(VK_RETURN)) {
    SendChat();
    CloseChat();
  }
}

void StartChat() {
  chat_active = true;
  l_chat.visible = true;
}

// Playing or spectating: at most one action per frame, later steps win.
void PlayKeys() {
  if (NewlyPressed(cfg.key_chat) && conn_state != CS_IDLE) StartChat();
  if (Held(cfg.key_attack)) {
    if (players[my_slot].state >= PS_DEAD) {
      action = ACT_FIRE;  // held fire keeps firing; while dead it asks to respawn
    } else if (NewlyPressed(cfg.key_attack)) {
      NextViewPlayer();
      UpdateScoreboard();
    }
  }
  if (health > 0) {
    for (uint8_t w = 1; w <= NUM_WEAPONS; ++w) {
      if (NewlyPressed(cfg.key_gun[w])) action = static_cast<uint8_t>(ACT_GUN1 + w - 1);
    }
    if (view_slot == my_slot && restart_countdown == 0) MoveLocal();
  }
  if (NewlyPressed(cfg.key_specjoin)) {
    action = ACT_SPECJOIN;
    NoteJoinKey();
  }
}

}  // namespace

void FormKeyDown(uint8_t key) {
  last_key = key;
  PressKey(key);  // auto-repeat only refreshes last_key
}

void FormKeyUp(uint8_t key) { ReleaseKey(key); }
void FormKeyPress(uint8_t character) { last_char = character; }
void Image2MouseDown(uint8_t button_code) { PressKey(button_code); }
void Image2MouseUp(uint8_t button_code) { ReleaseKey(button_code); }
void FormMouseUp(uint8_t button_code) { ReleaseKey(button_code); }

void FormMouseWheelDown() {
  if (!l_log.visible) return;
  const int limit = static_cast<int>(log_lines.size()) - log_rows - 2;
  if (log_scroll < limit) {
    ++log_scroll;
    RefreshLog();
  }
}

void FormMouseWheelUp() {
  if (!l_log.visible) return;
  if (log_scroll > 0) {
    --log_scroll;
    RefreshLog();
  }
}

void ResetKeyReleases() { std::memset(release_pending, 0, sizeof release_pending); }

void AgeKeyStates() {
  for (int key = 0; key < 256; ++key) {
    uint8_t& k = key_state[key];
    if (release_pending[key] && k != 1) {
      k = 0;  // the frame before saw the tap
      release_pending[key] = false;
    }
    if (k != 0 && k != 255) ++k;
  }
}

void ProcessInput() {
  AgeKeyStates();
  action = ACT_NONE;
  HandleKeys();
  KeepInGame();
  if (awaiting_info) action = ACT_INFO;
  if (!menu_open && PlatformWindowActive()) MouseLook();
}

void HandleKeys() {
  if (NewlyPressed(cfg.key_screenshot)) TakeScreenshot();
  if (NewlyPressed(VK_ESCAPE)) {
    if (chat_active) {
      CloseChat();
    } else {
      ToggleMenu();
    }
  }
  if (menu_open) {
    MenuKeys();
  } else if (chat_active) {
    TypeChat();
  } else {
    PlayKeys();
  }
  // Every key event is seen by exactly one frame.
  last_char = 0;
  last_key = 0;
}

void MouseLook() {
  int x = 0, y = 0;
  PlatformGetCursor(x, y);
  if (restart_countdown == 0) view_angle += static_cast<float>(x - mouse_anchor_x) * cfg.mouse_factor;
  // One wrap is not enough for a fast flick; the angle must stay a
  // direction 0..359 on the wire.
  if (view_angle < 0 || view_angle >= 360) {
    view_angle = std::fmod(view_angle, 360.0f);
    if (view_angle < 0) view_angle += 360;
    if (view_angle >= 360) view_angle = 0;
  }
  PlatformSetCursor(mouse_anchor_x, mouse_anchor_y);
}

std::string EditText(const std::string& text, bool (*allowed)(uint8_t), size_t maximum) {
  if (last_char == 0) return text;
  if (last_char == VK_BACK) return text.empty() ? text : text.substr(0, text.size() - 1);
  if (text.size() < maximum && allowed(last_char)) return text + static_cast<char>(last_char);
  return text;
}

bool IsChatChar(uint8_t c) {
  if (c >= 192) return true;
  if (c < 32 || c > 126) return false;
  switch (c) {
    case '!': case '$': case '&': case '\'': case ',': case ':': case ';':
    case '=': case '^': case '{': case '|': case '}': case '~':
      return false;
    default:
      return true;
  }
}

void CloseChat() {
  chat_line.clear();
  l_chat.setCaption(" SAY: ");
  chat_active = false;
  l_chat.visible = false;
}

void NextViewPlayer() {
  // Within one round of the slots the walk meets my_slot at the latest.
  for (int step = 0; step < MAX_SLOTS; ++step) {
    view_slot = static_cast<uint8_t>(view_slot >= MAX_SLOTS ? 1 : view_slot + 1);
    if (view_slot == my_slot || players[view_slot].state >= PS_DEAD) return;
  }
}
