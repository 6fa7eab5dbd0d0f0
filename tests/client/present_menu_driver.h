// Drives the client the way the window does: the key handlers record, then
// one frame of the frame loop runs. The menu tests use it.
#pragma once

#include <cstdint>

#include "client/core/frame.h"
#include "client/core/input.h"

namespace present_test {

// The client as it starts: screen, menu, sound, pictures, socket.
inline void StartMenu() { StartUp(); }

inline void Press(uint8_t key, uint8_t character = 0) {
  FormKeyDown(key);
  if (character != 0) FormKeyPress(character);
}

inline void Release(uint8_t key) { FormKeyUp(key); }

inline void Frame() { ClientFrame(); }

inline void Tap(uint8_t key, uint8_t character = 0) {
  Press(key, character);
  Frame();
  Release(key);
}

}  // namespace present_test
