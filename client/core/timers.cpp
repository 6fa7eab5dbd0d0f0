#include "client/core/timers.h"

#include <algorithm>

#include "client/core/client_state.h"
#include "client/core/labels.h"

void AdvanceFrameTimers() {
  for (uint8_t s = 1; s <= MAX_SLOTS; ++s) {
    TClient& p = players[s];
    if (p.state == PS_NONE) continue;
    if (p.fire_pose > 0) --p.fire_pose;
    if (p.shot_timer > 0) --p.shot_timer;
  }
  my_slot = std::clamp<uint8_t>(my_slot, 1, MAX_SLOTS);
  if (announce_timer > 0) --announce_timer;
  l_anon.visible = announce_timer > 0 && !menu_open;
}
