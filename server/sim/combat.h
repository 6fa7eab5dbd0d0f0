// Actions, firing, shot traces and damage.
#pragma once

#include <cstdint>

void PLAYER_ACTIONS(uint8_t slot);
void PLAYER_SHOOT(uint8_t slot);
void PLAYER_BULLET(uint8_t slot);
void PLAYER_DAMAGE(uint8_t shooter, uint8_t victim, uint8_t weapon);

// Where one shot of the weapon in hand ends, without applying it.
struct ShotEnd {
  uint8_t victim;  // slot hit, 0 for none
  uint16_t point;  // index of the trace point that ended it (0 = the shooter's
                   // own position); one past the last point when it ran out of range
};
ShotEnd PLAYER_TRACE(uint8_t slot);
