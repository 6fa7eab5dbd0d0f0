// Drives the client the way the window does: key handlers record, then one
// frame runs. The menu tests use it.
#pragma once

#include <cstdint>

#include "client/core/client_state.h"
#include "client/core/config.h"
#include "client/presentation/audio.h"
#include "client/presentation/hud.h"
#include "client/presentation/menu.h"

namespace present_test {

// The client as it starts: key names, screen and menu, sound.
inline void StartMenu() {
  BuildKeyNames();
  SetupScreen();
  InitAudio();
}

inline void Press(uint8_t key, uint8_t character = 0) {
  last_key = key;
  if (key_state[key] == 0) key_state[key] = 1;
  if (character != 0) last_char = character;
}

inline void Release(uint8_t key) { key_state[key] = 0; }

// One frame's key handling while the menu may be open.
inline void Frame() {
  for (auto& k : key_state)
    if (k != 0 && k != 255) ++k;
  if (key_state[27] == 2 && !chat_active) ToggleMenu();
  if (menu_open) MenuKeys();
  last_char = last_key = 0;
}

inline void Tap(uint8_t key, uint8_t character = 0) {
  Press(key, character);
  Frame();
  Release(key);
}

}  // namespace present_test
