#include "server/sim/combat.h"

#include <cmath>

#include "server/sim/event_line.h"
#include "server/sim/match_settings.h"
#include "server/sim/movement.h"
#include "server/sim/msglog.h"
#include "server/sim/rules.h"
#include "server/sim/world.h"

namespace {

constexpr uint8_t kRespawnDelay = 30;  // ticks a dead player waits before it may respawn
constexpr uint8_t kRespawnGuard = 10;  // ticks after a respawn before the first shot

// ---- Actions of a living player, by action code ----------------------------

void SelectGun(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (c.has_gun[c.action] == 1) c.next_gun = c.action;
}

void Fire(uint8_t slot) {
  if (SV_CLIENTSLIST[slot].wait == 0) PLAYER_SHOOT(slot);
}

using ActionHandler = void (*)(uint8_t slot);
constexpr int kActionCodes = 16;
// ACT_GUN1..ACT_GUN5 select, ACT_FIRE fires; every other code does nothing
// here (ACT_SPECJOIN is handled for everybody after this table).
constexpr ActionHandler kLivingActions[kActionCodes] = {
    nullptr,   SelectGun, SelectGun, SelectGun, SelectGun, SelectGun, nullptr, nullptr,
    nullptr,   nullptr,   Fire,      nullptr,   nullptr,   nullptr,   nullptr, nullptr,
};

void LivingActions(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (SV_SCOREBOARD == 0) {
    if (!c.is_bot) PLAYER_MOVE(slot);  // bots walk by their own routine
    PLAYER_ITEMS(slot);
  }
  if (c.action < kActionCodes && kLivingActions[c.action] != nullptr) kLivingActions[c.action](slot);
}

void DeadActions(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (c.wait != 0 || c.action != ACT_FIRE) return;
  PLAYER_RESPAWN(slot);
  c.wait = kRespawnGuard;
}

// ---- Shot trace ---------------------------------------------------------------

// A player the ray passes close enough to be hit, and the trace points at
// which that is possible. Testing only these gives the same first hit as
// testing every slot at every point: the others cannot be inside any hit box.
struct Candidate {
  uint8_t slot;
  uint16_t first_point, last_point;
};

struct Ray {
  uint16_t x0, y0;
  float sx, sy;         // one step
  uint16_t last_point;  // points 0..last_point lie within range
};

bool IsTarget(uint8_t shooter, uint8_t j) {
  const ClientRecord& c = SV_CLIENTSLIST[j];
  if (j == shooter || !c.in_use || !c.joined || c.health == 0) return false;
  return SV_TEAMPLAY == 0 || c.team != SV_CLIENTSLIST[shooter].team;
}

// The float trace point drifts from the exact line by rounding (well under 2
// units over 601 steps) and truncation (under 1.5 units), and a hit box
// reaches 30 * sqrt(2) from its centre; 48 covers all of it with room.
constexpr double kNearRay = 48.0;

bool NearRay(const Ray& ray, uint16_t x, uint16_t y, Candidate& out) {
  const double step_len = std::hypot(static_cast<double>(ray.sx), static_cast<double>(ray.sy));
  if (step_len == 0.0) return false;
  const double dx = static_cast<double>(x) - ray.x0;
  const double dy = static_cast<double>(y) - ray.y0;
  const double along = (dx * ray.sx + dy * ray.sy) / step_len;
  const double across = std::fabs(dx * ray.sy - dy * ray.sx) / step_len;
  if (across > kNearRay) return false;
  const double first = std::floor((along - kNearRay) / step_len);
  const double last = std::ceil((along + kNearRay) / step_len);
  if (last < 0.0 || first > ray.last_point) return false;
  out.first_point = static_cast<uint16_t>(first < 0.0 ? 0.0 : first);
  out.last_point = static_cast<uint16_t>(last > ray.last_point ? ray.last_point : last);
  return true;
}

int CollectCandidates(uint8_t shooter, const Ray& ray, Candidate (&out)[MAX_SLOTS]) {
  int n = 0;
  for (uint8_t j = 1; j <= MAX_SLOTS; ++j) {
    if (!IsTarget(shooter, j)) continue;
    Candidate cand{j, 0, 0};
    if (NearRay(ray, SV_CLIENTSLIST[j].x, SV_CLIENTSLIST[j].y, cand)) out[n++] = cand;
  }
  return n;
}

// The same strict, 16-bit box test as PLAYERINPOINT, over the candidates only.
uint8_t CandidateHit(const Candidate* cands, int n, uint16_t point, uint16_t px, uint16_t py) {
  const uint16_t lx = static_cast<uint16_t>(px - HIT_HALF);
  const uint16_t hx = static_cast<uint16_t>(px + HIT_HALF);
  const uint16_t ly = static_cast<uint16_t>(py - HIT_HALF);
  const uint16_t hy = static_cast<uint16_t>(py + HIT_HALF);
  for (int i = 0; i < n; ++i) {
    if (point < cands[i].first_point || point > cands[i].last_point) continue;
    const ClientRecord& c = SV_CLIENTSLIST[cands[i].slot];
    if (lx < c.x && c.x < hx && ly < c.y && c.y < hy) return cands[i].slot;
  }
  return 0;
}

uint16_t TruncToPosition(float f) { return static_cast<uint16_t>(static_cast<int32_t>(f)); }

}  // namespace

ShotEnd PLAYER_TRACE(uint8_t slot) {
  const ClientRecord& c = SV_CLIENTSLIST[slot];
  const uint8_t gun = c.gun;
  if (gun < 1 || gun > NUM_WEAPONS) return {0, 0};
  const uint8_t step = WEAPONS[gun].trace_step;
  const int degrees = (c.dir + GUN_SPREAD(gun, SV_PINGVAR) + 360) % 360;
  // Single precision throughout: clients trace the same shot with the same
  // float formula and must end it at the same point.
  const float a = static_cast<float>(degrees) * DEG_TO_RAD;
  Ray ray{c.x, c.y, std::cos(a) * static_cast<float>(step), std::sin(a) * static_cast<float>(step),
          static_cast<uint16_t>(WEAPONS[gun].trace_range / step)};

  Candidate cands[MAX_SLOTS];
  const int n = CollectCandidates(slot, ray, cands);

  float fx = c.x, fy = c.y;
  uint16_t px = c.x, py = c.y;
  uint32_t covered = 0;
  for (uint16_t point = 0;; ++point) {
    if (CGGXY(px, py) == CELL_WALL) return {0, point};  // obstacles let shots pass
    const uint8_t victim = CandidateHit(cands, n, point, px, py);
    if (victim != 0) return {victim, point};
    covered += step;
    fx += ray.sx;
    px = TruncToPosition(fx);
    fy += ray.sy;
    py = TruncToPosition(fy);
    if (covered > WEAPONS[gun].trace_range) return {0, static_cast<uint16_t>(point + 1)};
  }
}

void PLAYER_BULLET(uint8_t slot) {
  const ShotEnd end = PLAYER_TRACE(slot);
  if (end.victim != 0) PLAYER_DAMAGE(slot, end.victim, SV_CLIENTSLIST[slot].gun);
}

void PLAYER_SHOOT(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (c.wait == 0) c.gun = c.next_gun;
  const uint8_t type = WEAPONS[c.gun].ammo_type;
  const uint8_t take = WEAPONS[c.gun].ammo_per_shot;
  if (c.ammo[type] < take) return;  // no shot, no timer, no weapon change
  c.wait = WEAPONS[c.gun].reload;
  c.fire_anim = WEAPONS[c.gun].fire_anim;
  PLAYER_BULLET(slot);
  c.ammo[type] = static_cast<uint8_t>(c.ammo[type] - take);
}

void PLAYER_DAMAGE(uint8_t shooter, uint8_t victim, uint8_t weapon) {
  ClientRecord& v = SV_CLIENTSLIST[victim];
  const uint8_t damage = WEAPONS[weapon].damage;
  // Armour takes the whole hit while it lasts and halves what reaches health.
  const uint8_t armor_loss = v.armor >= damage ? damage : v.armor;
  const int health_loss = armor_loss / 2 + (damage - armor_loss);
  v.armor = static_cast<uint8_t>(v.armor - armor_loss);
  v.health = v.health < health_loss ? 0 : static_cast<uint8_t>(v.health - health_loss);
  if (v.health != 0) return;

  v.wait = kRespawnDelay;
  ClientRecord& s = SV_CLIENTSLIST[shooter];
  s.frags = static_cast<uint8_t>(s.frags + 1);
  SV_ADDMSG(EVENT_LINE(EV_KILL, {weapon, shooter, victim}));
  PLAYER_SCORECHECK(shooter);
}

void PLAYER_ACTIONS(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (SV_SCOREBOARD != 0) c.action = ACT_NONE;
  if (c.joined) {
    if (c.health > 0)
      LivingActions(slot);
    else
      DeadActions(slot);
  }
  // Spectators, the living and the dead may all toggle.
  if (c.action == ACT_SPECJOIN) PLAYER_SPECJOIN(slot);
}
