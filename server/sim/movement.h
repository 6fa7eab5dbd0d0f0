// Cell lookup, hit test, distances and the movement of human players.
#pragma once

#include <cstdint>

#include "protocol/rules.h"  // SQRT2

uint8_t CGGXY(uint16_t x, uint16_t y);
uint8_t PLAYERINPOINT(uint16_t x, uint16_t y, uint8_t shooter);
uint16_t DIST2(int16_t x1, int16_t y1, int16_t x2, int16_t y2);
uint16_t DIST3(int16_t x1, int16_t y1, int16_t x2, int16_t y2);
// True when the 31 x 31 body square centred at (x, y) touches no wall or
// obstacle; the corner test shared by player and bot movement.
bool PLAYER_FITS(uint16_t x, uint16_t y);
void PLAYER_MOVE(uint8_t slot);
