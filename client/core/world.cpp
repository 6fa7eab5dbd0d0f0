// The client's copy of the map, the effects list, the own-position history,
// the per-player step after each snapshot entry and the client's own shot
// traces. Everything here works on the fixed global tables.
#include "client/core/world.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "client/core/client_state.h"
#include "client/core/interpolation.h"
#include "client/core/prediction.h"
#include "client/core/presentation.h"
#include "client/core/session.h"
#include "protocol/messages.h"

namespace {

constexpr int kMinPos = 65;
constexpr int kMaxPos = 4159;

constexpr uint32_t kGrey78 = 0x4E4E4E;
constexpr uint32_t kGrey118 = 0x767676;

// '[' is the client's mark for the ring around the map: a wall to everything.
constexpr uint8_t kBorder = '[';
bool IsSolid(uint8_t c) { return c == kBorder || MAP_ISPWALL(c); }
bool BlocksShots(uint8_t c) { return c == kBorder || MAP_ISBWALL(c); }

uint8_t StateOf(uint8_t slot) { return slot >= 1 && slot <= MAX_SLOTS ? players[slot].state : PS_NONE; }

uint16_t ClampPos(int v) { return static_cast<uint16_t>(std::clamp(v, kMinPos, kMaxPos)); }
uint8_t ClampWeapon(uint8_t w) { return std::clamp<uint8_t>(w, 1, NUM_WEAPONS); }

// The grid cell holding a position; anything past the border ring reads as
// the border, so no probe can leave the table.
uint8_t CellAt(unsigned x, unsigned y) {
  unsigned col = x / 64, row = y / 64;
  if (col > 65 || row > 65) return '[';
  return static_cast<uint8_t>(map_grid[col][row]);
}

uint8_t ColourChannel(uint8_t c) { return (c >= '0' && c <= '9') ? static_cast<uint8_t>(28 * (c - '0')) : 0; }

uint32_t ColourFrom(int first_position) {
  return (uint32_t(ColourChannel(map_text[first_position])) << 16) |
         (uint32_t(ColourChannel(map_text[first_position + 1])) << 8) | ColourChannel(map_text[first_position + 2]);
}

void ClearGrid() {
  std::memset(map_grid, ' ', sizeof map_grid);
  for (int i = 0; i < 66; ++i) {
    map_grid[i][0] = map_grid[i][65] = '[';
    map_grid[0][i] = map_grid[65][i] = '[';
  }
}

// The first '@' of the map text in reading order, the server's spawn
// point 1; column 0 when the map has none.
int first_spawn_col = 0, first_spawn_row = 0;

// Places one map character at column c, row r; the counters number the
// decorations and items in reading order, as the server numbers its items.
void PlaceCell(uint8_t ch, int c, int r, int& next_decoration, int& next_item) {
  if (IsSolid(ch)) map_grid[c][r] = static_cast<char>(ch);
  if (MAP_ISSPAWN(ch) && first_spawn_col == 0) {
    first_spawn_col = c;
    first_spawn_row = r;
  }
  if (next_decoration <= MAX_DECORATIONS && MAP_ISDECORATION(ch)) {
    decorations[next_decoration++] = TMapObject{c + 0.5f, r + 0.5f, ch};
  }
  if (next_item <= MAX_MAP_ITEMS && MAP_ISITEM(ch)) {
    map_items[next_item++] = TMapItem{ch, 0, c + 0.5f, r + 0.5f};
  }
}

// The shot's result when it meets a player: a tint for the view player,
// blood and a pain sound for anyone else.
void HitPlayer(uint8_t victim, uint8_t weapon, float px, float py) {
  if (victim == view_slot) {
    TintFlash(0, WEAPONS[weapon].hit_flash, WEAPONS[weapon].hit_flash);
    return;
  }
  AddEffect(static_cast<uint8_t>(frame_counter + 102), EFFECT_BLOOD, px / 64, py / 64);
  PlayCue(Cue::Pain, victim, players[victim].team & 3);
}

void SpawnPlayer(uint8_t s) {
  TClient& p = players[s];
  p.gun = 2;
  AddEffect(0, EFFECT_SPAWN, p.fx, p.fy);
  PlayCue(Cue::Spawn, s);
  if (s == my_slot) {
    view_slot = s;
    local_x = p.x;
    local_y = p.y;
    ClearHistory();
    PushHistory(local_x, local_y);
  }
}

// The tick echoed by the latest input the server read from this player: the
// snapshot's ping is the server's tick counter minus that echo.
uint16_t LatestEchoRead(const TClient& p) { return static_cast<uint16_t>(server_tick - (p.ping + 1)); }

// Direction code of the held movement keys: 1 forward, then counter-clockwise
// in 45 degree steps to 8 forward-right; 0 when nothing moves.
int MovementCode() {
  int m = 0;
  if (key_state[cfg.key_forward] > 0) m = 1;
  if (key_state[cfg.key_backward] > 0) m = (m == 1) ? 0 : 5;
  if (key_state[cfg.key_left] > 0) m = (m == 0) ? 3 : (m == 1) ? 2 : 4;
  if (key_state[cfg.key_right] > 0) m = (m == 0) ? 7 : (m == 1) ? 8 : (m == 5) ? 6 : 0;
  return m;
}

}  // namespace

void ResetMapModelAtStartUp() {
  std::memset(map_text, 0, sizeof map_text);
  ClearGrid();
  for (auto& d : decorations) d = TMapObject{};
  for (auto& it : map_items) it = TMapItem{};  // kind 0: unused at start-up
  for (auto& e : effects) e = TEffect{0, 0, 4, 0, 0};  // frame 4: free
  floor_colour = kGrey118;
  ceiling_colour = kGrey78;
  ClearHistory();
}

void ClearMap() {
  ClearGrid();
  first_spawn_col = first_spawn_row = 0;
  for (int i = 1; i <= MAX_DECORATIONS; ++i) decorations[i] = TMapObject{0, 0, 0};
  for (int i = 1; i <= MAX_MAP_ITEMS; ++i) map_items[i] = TMapItem{'1', 0, 0, 0};
  for (auto& e : effects) e = TEffect{0, 0, 8, 0, 0};
  floor_colour = kGrey118;
  ceiling_colour = kGrey78;
}

void DecodeMap() {
  map_text[MAP_TEXT_SIZE] = 0;  // the scan below always meets a terminator
  ceiling_colour = ColourFrom(1);
  floor_colour = ColourFrom(4);
  // A text shorter than its header ends before the body starts.
  for (int i = 1; i <= 6; ++i) {
    if (map_text[i] == 0) return;
  }
  int c = 1, r = 1, next_decoration = 1, next_item = 1;
  for (int pos = 7; pos <= MAP_TEXT_SIZE && map_text[pos] != 0 && r <= 64; ++pos) {
    uint8_t ch = map_text[pos];
    if (ch == CR) {
      c = 1;
      ++r;
    } else if (c <= 64) {
      PlaceCell(ch, c, r, next_decoration, next_item);
      ++c;
    }
  }
}

void PlaceSpectatorCamera() {
  if (first_spawn_col == 0 || view_slot != my_slot) return;
  if (players[my_slot].state > PS_SPECTATOR) return;
  // Right, down, left, up in map cells: angles 0, 90, 180 and 270.
  constexpr int kStep[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  int best = 0, best_run = -1;
  for (int d = 0; d < 4; ++d) {
    int run = 0;
    for (int c = first_spawn_col + kStep[d][0], r = first_spawn_row + kStep[d][1];
         c >= 0 && c <= 65 && r >= 0 && r <= 65 && !IsSolid(static_cast<uint8_t>(map_grid[c][r]));
         c += kStep[d][0], r += kStep[d][1])
      ++run;
    if (run > best_run) {
      best = d;
      best_run = run;
    }
  }
  local_x = ClampPos(first_spawn_col * 64 + 32);
  local_y = ClampPos(first_spawn_row * 64 + 32);
  view_angle = 90.0f * best;
}

void AddEffect(uint8_t value, uint8_t kind, float x, float y) {
  for (auto& e : effects) {
    if (e.frame >= 4) {
      e = TEffect{x, y, 0, kind, value};
      return;
    }
  }
}

void BeginSnapshot() {
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    players[s].prev_state = players[s].state;
    players[s].state = PS_NONE;
  }
  for (int i = 1; i <= MAX_MAP_ITEMS; ++i) map_items[i].present = 0;
  restart_countdown = 0;
}

void ApplyPlayerUpdate(uint8_t s) {
  if (s < 1 || s > MAX_SLOTS) return;
  TClient& p = players[s];
  p.x = ClampPos(p.x);
  p.y = ClampPos(p.y);
  p.fx = p.x / 64.0f;
  p.fy = p.y / 64.0f;

  if (p.prev_state < PS_ALIVE && p.state >= PS_ALIVE) SpawnPlayer(s);

  if (p.shot_timer == 0 && p.state == PS_FIRING) {
    p.gun = ClampWeapon(p.gun);
    p.shot_timer = WEAPONS[p.gun].reload;
    p.fire_pose = WEAPONS[p.gun].fire_pose;
    // Others' shots start where they are drawn when the render time reaches
    // the shot; our own start at once, where we are.
    if (s == my_slot || !DeferShot(s)) TraceShot(s);
  }

  if (view_slot != my_slot && s == view_slot) {
    local_x = p.x;
    local_y = p.y;
    view_angle = p.dir;
  }

  // The server's position stands unless it is none we predicted lately, or
  // the server has read a later input of ours and stayed where it was.
  if (s != my_slot) return NotePlayerPosition(s);
  if (SessionVersion() >= PROTOCOL_SESSIONS) return;  // reconciled after the whole snapshot
  const uint16_t echo = LatestEchoRead(p);
  if (!InHistory(p.x, p.y) || ServerStoppedFollowing(p.x, p.y, echo)) {
    Reanchor(p.x, p.y, echo);
  } else if (p.state >= PS_ALIVE) {
    NoteServerRead(echo);
  }
}

void TraceShot(uint8_t s) {
  if (s < 1 || s > MAX_SLOTS) return;
  const TClient& p = players[s];
  TraceShotFrom(ShotStart{s, p.x, p.y, p.dir, p.gun, server_tick});
}

void TraceShotFrom(const ShotStart& shooter) {
  const uint8_t s = shooter.slot;
  if (s < 1 || s > MAX_SLOTS) return;
  const uint8_t w = ClampWeapon(shooter.gun);
  // The spread follows the server's tick, so every client traces the same shot.
  const int degrees = (shooter.dir + GUN_SPREAD(w, shooter.tick) + 360) % 360;
  const float angle = static_cast<float>(degrees) * DEG_TO_RAD;
  const float step = static_cast<float>(WEAPONS[w].trace_step);
  const float dx = std::cos(angle) * step;
  const float dy = std::sin(angle) * step;

  PlayCue(Cue::Shot, s, w);

  float px = shooter.x, py = shooter.y;
  int ix = shooter.x, iy = shooter.y;
  for (int travelled = 0;;) {
    uint8_t cell = ShotCell(static_cast<uint16_t>(ix), static_cast<uint16_t>(iy));
    if (cell == 1) {
      // The puff goes one step back, in front of the wall.
      AddEffect(static_cast<uint8_t>(frame_counter + 102), EFFECT_PUFF, (px - dx) / 64, (py - dy) / 64);
      return;
    }
    if (cell == 2) return;
    uint8_t hit = ShotHitPlayer(static_cast<uint16_t>(ix), static_cast<uint16_t>(iy), s);
    if (hit != 0) {
      HitPlayer(hit, w, px, py);
      return;
    }
    travelled += WEAPONS[w].trace_step;
    px += dx;
    ix = static_cast<int>(px);
    py += dy;
    iy = static_cast<int>(py);
    if (travelled > WEAPONS[w].trace_range) return;
  }
}

uint8_t ShotCell(uint16_t x, uint16_t y) {
  unsigned col = x / 64u, row = y / 64u;
  if (col == 0 || row == 0 || col >= 65 || row >= 65) return 2;
  return BlocksShots(static_cast<uint8_t>(map_grid[col][row])) ? 1 : 0;
}

uint8_t ShotHitPlayer(uint16_t x, uint16_t y, uint8_t shooter) {
  const uint8_t shooter_team = (shooter >= 1 && shooter <= MAX_SLOTS) ? players[shooter].team : 0;
  for (uint8_t i = 1; i <= MAX_SLOTS; ++i) {
    const TClient& p = players[i];
    if (i == shooter) continue;
    // prev_state: later entries of the snapshot being read are not known yet.
    if (p.prev_state != PS_ALIVE && p.prev_state != PS_FIRING) continue;
    if (!(x - HIT_HALF < p.x && p.x < x + HIT_HALF && y - HIT_HALF < p.y && p.y < y + HIT_HALF)) continue;
    if (team_play != 0 && p.team == shooter_team) continue;
    return i;
  }
  return 0;
}

void SettleView() {
  if (StateOf(my_slot) > PS_SPECTATOR || StateOf(view_slot) < PS_DEAD) view_slot = my_slot;
  // The heading sent is the one the view shows; the dead keep theirs.
  if (health > 0) net_angle = view_angle >= 0 ? static_cast<uint16_t>(std::min(view_angle, 360.0f)) : 0;
}

void MoveLocal() {
  const int m = MovementCode();
  if (m > 0) {
    BeginFrameStep(m, net_angle);
    ApplyStep(m, net_angle);
  }
  PushHistory(local_x, local_y);
}

void ApplyStep(int code, uint16_t angle) {
  const float heading = static_cast<float>(angle - 45 * (code - 1)) * DEG_TO_RAD;
  const uint16_t nx = ClampPos(local_x + static_cast<int>(11 * std::cos(heading)));
  const uint16_t ny = ClampPos(local_y + static_cast<int>(11 * std::sin(heading)));
  const uint8_t state = players[my_slot].state;
  if (state == PS_ALIVE || state == PS_FIRING) {
    // Axis by axis, so the player slides along walls.
    if (IsFree(nx, local_y)) local_x = nx;
    if (IsFree(local_x, ny)) local_y = ny;
  } else {
    local_x = nx;  // a spectator flies through walls
    local_y = ny;
  }
}

bool IsFree(uint16_t x, uint16_t y) {
  const unsigned lx = x - BODY_HALF, hx = x + BODY_HALF, ly = y - BODY_HALF, hy = y + BODY_HALF;
  return !IsSolid(CellAt(lx, ly)) && !IsSolid(CellAt(lx, hy)) && !IsSolid(CellAt(hx, hy)) &&
         !IsSolid(CellAt(hx, ly));
}

