// Rules the server and every client compute identically: the grid, the map
// text, the shot trace of each weapon (its figures in weapons.h), the body and hit boxes and the name
// limit. The server decides hits with these numbers and the clients draw the
// same shots with them, so an edit here changes both sides at once.
#pragma once

#include <bit>
#include <cstdint>

#include "protocol/protocol.h"
#include "protocol/weapons.h"

// 64 position units per map cell; cells 1..64 span positions 64..4159.
constexpr int CELL_SIZE = 64;
constexpr int MAP_CELLS = 64;

// A map as sent: six colour digits, then the rows, each ended by CR; at most
// 4222 bytes, addressed 1..4222.
constexpr int MAP_TEXT_SIZE = 4222;
constexpr int MAP_HEADER_LENGTH = 6;
constexpr char CR = 13;

// Map character classes.
inline bool MAP_ISBWALL(uint8_t c) { return c >= 'A' && c <= 'Z'; }  // blocks movement, shots and sight
inline bool MAP_ISDECORATION(uint8_t c) { return c >= 'a' && c <= 'z'; }
inline bool MAP_ISPWALL(uint8_t c) { return MAP_ISBWALL(c) || (c >= 'e' && c <= 'z'); }  // blocks movement
inline bool MAP_ISITEM(uint8_t c) { return c >= '0' && c <= '9'; }
inline bool MAP_ISSPAWN(uint8_t c) { return c == '@'; }

// Player names are cut to this many characters.
constexpr int NAME_LIMIT = 20;

// A player's body for movement is x-15..x+15; a shot hits within x-30..x+30
// (strict on both axes).
constexpr uint16_t BODY_HALF = 15;
constexpr uint16_t HIT_HALF = 30;

// Headings are whole degrees; both sides turn them into radians with this
// single-precision factor so their traces end on the same point.
constexpr float DEG_TO_RAD = 0.0174532925f;

// The spread offset in degrees of a weapon's shot at a tick.
inline int GUN_SPREAD(uint8_t gun, uint16_t tick) {
  const int k = WEAPONS[gun].dispersion;
  return k > 0 ? static_cast<int>(tick % (2 * k)) - k : 0;
}

// Square root through one Newton step of the reciprocal square root: fast,
// and close enough for distances and ray lengths (within 0.2 %).
inline float SQRT2(float v) {
  const float guess = std::bit_cast<float>(0x5F3759DFu - (std::bit_cast<uint32_t>(v) >> 1));
  const float half = 0.5f * v;
  const float refined = guess * (1.5f - half * guess * guess);
  return 1.0f / refined;
}
