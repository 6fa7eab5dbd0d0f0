// Actions, firing, shot traces and damage.
#pragma once

#include <cstdint>

void PLAYER_ACTIONS(uint8_t slot);
void PLAYER_SHOOT(uint8_t slot);
void PLAYER_BULLET(uint8_t slot);
void PLAYER_DAMAGE(uint8_t shooter, uint8_t victim, uint8_t weapon);
