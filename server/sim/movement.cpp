#include "server/sim/movement.h"

#include <cstdlib>

#include "server/sim/match_settings.h"
#include "server/sim/world.h"

namespace {

constexpr uint32_t kStepLimit = 12;  // a requested step must be shorter than this

// |a - b| taken in 16 bits, so positions that wrapped past 0 stay close.
uint32_t AbsDiff16(int16_t a, int16_t b) {
  const int16_t d = static_cast<int16_t>(a - b);
  return static_cast<uint32_t>(std::abs(static_cast<int32_t>(d)));
}

bool CanBeHit(const ClientRecord& c) { return c.in_use && c.joined && c.health > 0; }

}  // namespace

// Coordinates are formed in 16 bits on purpose: a corner left of 0 wraps to a
// large value and reads as a wall. Only the corners are probed: the square is
// narrower than a cell, so a corner always lands in any cell it overlaps.
bool PLAYER_FITS(uint16_t x, uint16_t y) {
  const uint16_t lx = static_cast<uint16_t>(x - BODY_HALF);
  const uint16_t hx = static_cast<uint16_t>(x + BODY_HALF);
  const uint16_t ly = static_cast<uint16_t>(y - BODY_HALF);
  const uint16_t hy = static_cast<uint16_t>(y + BODY_HALF);
  return CGGXY(lx, ly) == CELL_FREE && CGGXY(lx, hy) == CELL_FREE && CGGXY(hx, hy) == CELL_FREE &&
         CGGXY(hx, ly) == CELL_FREE;
}

uint8_t CGGXY(uint16_t x, uint16_t y) {
  const unsigned c = x / CELL_SIZE;
  const unsigned r = y / CELL_SIZE;
  if (c == 0 || r == 0 || c > MAP_CELLS || r > MAP_CELLS) return CELL_WALL;
  return SV_MAP.cells[c][r];
}

uint8_t PLAYERINPOINT(uint16_t x, uint16_t y, uint8_t shooter) {
  const uint16_t lx = static_cast<uint16_t>(x - HIT_HALF);
  const uint16_t hx = static_cast<uint16_t>(x + HIT_HALF);
  const uint16_t ly = static_cast<uint16_t>(y - HIT_HALF);
  const uint16_t hy = static_cast<uint16_t>(y + HIT_HALF);
  const uint8_t shooter_team = SV_CLIENTSLIST[shooter].team;
  for (uint8_t j = 1; j <= MAX_SLOTS; ++j) {
    const ClientRecord& c = SV_CLIENTSLIST[j];
    if (j == shooter || !CanBeHit(c)) continue;
    if (!(lx < c.x && c.x < hx && ly < c.y && c.y < hy)) continue;
    // Shots pass through team mates and go on to whoever stands behind.
    if (SV_TEAMPLAY != 0 && c.team == shooter_team) continue;
    return j;
  }
  return 0;
}

uint16_t DIST2(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  const uint32_t dx = AbsDiff16(x1, x2);
  const uint32_t dy = AbsDiff16(y1, y2);
  // Unsigned: two differences of 32768 would overflow a signed sum.
  const uint32_t s = dx * dx + dy * dy;
  return static_cast<uint16_t>(SQRT2(static_cast<float>(s)));
}

uint16_t DIST3(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  const int32_t dx = std::abs(static_cast<int32_t>(x2) - x1);
  const int32_t dy = std::abs(static_cast<int32_t>(y2) - y1);
  const int32_t longer = dx < dy ? dy : dx;
  const int32_t shorter = dx < dy ? dx : dy;
  return static_cast<uint16_t>((123 * longer + 51 * shorter) / 128);
}

void PLAYER_MOVE(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  const uint16_t length = DIST2(static_cast<int16_t>(c.x), static_cast<int16_t>(c.y),
                                static_cast<int16_t>(c.want_x), static_cast<int16_t>(c.want_y));
  if (length >= kStepLimit) return;  // too long a step is refused, not shortened
  // One axis after the other, so a diagonal step into a wall slides along it.
  if (PLAYER_FITS(c.want_x, c.y)) c.x = c.want_x;
  if (PLAYER_FITS(c.x, c.want_y)) c.y = c.want_y;
}
