#include "server/sim/bots.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <random>

#include "server/sim/combat.h"
#include "server/sim/event_line.h"
#include "server/sim/hooks.h"
#include "server/sim/match_settings.h"
#include "server/sim/movement.h"
#include "server/sim/msglog.h"
#include "server/sim/rules.h"
#include "server/sim/world.h"

namespace {

constexpr int kBotStep = 11;        // position units walked per tick
constexpr uint8_t kWalkTurn = 7;    // degrees per tick towards the goal
constexpr int kAimTurn = 8;         // degrees per tick towards the enemy
constexpr int kGoalPeriod = 15;     // goals are chosen every 15th tick
constexpr int kNeeds = 90;          // below this health or ammunition a bot goes shopping
constexpr uint16_t kGoalReach = 64;
constexpr int kBlockedTurnPeriod = 190;
constexpr uint16_t kSlideTest = 10;  // a shorter step was cut by a wall
constexpr int kSightStep = 20;
constexpr uint16_t kKnifeRange = 50;
constexpr uint16_t kChaingunRange = 1000;
constexpr uint16_t kNoDistance = 9999;

// The only random source of the game: fixed seed, so every run of the server
// draws the same sequence.
std::mt19937 goal_rng(0);

// Uniform 0..4 from one 32-bit output.
uint32_t DrawOneInFive() { return static_cast<uint32_t>((static_cast<uint64_t>(goal_rng()) * 5) >> 32); }

int16_t S16(uint16_t v) { return static_cast<int16_t>(v); }

void NameBot(ClientRecord& c, uint8_t number) {
  char digits[4];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  c.name.clear();
  if (SV_TEAMPLAY != 0) {
    c.name.push('[');
    c.name.append(TEAMS[c.team].tag);
    c.name.push(']');
  }
  c.name.append("BOT #");
  c.name.append(std::string_view(digits, static_cast<size_t>(end - digits)));
  c.name.cut(NAME_LIMIT);
}

bool HasGun(const ClientRecord& c, uint8_t gun) { return c.has_gun[gun] == 1; }

// What makes an item worth walking to for a bot short of type-1 ammunition.
bool SuppliesAmmo(const ClientRecord& c, int kind) {
  const uint8_t gun = ITEMSP_GUN[kind];
  return (!HasGun(c, 3) && gun == 3) || (!HasGun(c, 4) && gun == 4) || ITEMSP_AMMO[1][kind] > 0;
}

bool Heals(int kind) { return ITEMSP_HITS[kind] > 0 || ITEMSP_ARMOR[kind] > 0; }

void SetGoal(ClientRecord& c, const MapItem& item) {
  c.goal_x = item.x;
  c.goal_y = item.y;
}

bool Moved(const ClientRecord& c, uint16_t ox, uint16_t oy) { return c.x != ox || c.y != oy; }

// Bots arrive once a human has entered, not while the first one only holds a
// half-open slot: that player is sent the line logged just before its own
// connect line, which is then the banner, not a bot's join.
bool HumanInGame() {
  for (const ClientRecord& c : SV_CLIENTSLIST)
    if (c.in_use && !c.is_bot && !c.half_open) return true;
  return false;
}

}  // namespace

void BOT_RESETRNG() { goal_rng.seed(0); }

void SV_BOTZ() {
  if (SV_BOTC < SV_BOTCOUNT && HumanInGame()) SV_ADDBOT();
  for (uint8_t j = 1; j <= MAX_SLOTS; ++j)
    if (SV_CLIENTSLIST[j].in_use && SV_CLIENTSLIST[j].is_bot) BOT_CODE(j);
}

void SV_ADDBOT() {
  if (SV_CURCLIENTS >= MAX_SLOTS) return;
  const uint8_t k = LowestFreeSlot();
  if (k == 0) return;
  ClientRecord& c = SV_CLIENTSLIST[k];
  OccupySlot(k, true);  // joins through its own spectate toggle on its first tick
  c.frags = 0;
  c.log_ack = SV_LOGI;
  c.specjoin_wait = c.chat_wait = c.log_wait = c.info_wait = 0;
  c.fire_anim = c.wait = c.idle = 0;
  c.input_budget = 33;
  c.bot_target = k;
  c.address.assign("0.0.0.0");
  c.port = 0;
  c.version = PROTOCOL_VERSION;  // no session of a client before it
  c.token = 0;
  c.tick_offset = 0;
  // Successive bots spread over the four teams; SV_BOTC counts this one.
  c.team = (SV_BOTC - 1) % NUM_TEAMS;
  NameBot(c, SV_BOTC);
  SV_ADDMSG(EVENT_LINE(EV_CONNECT, {k, c.team}, c.name.view()));
  SV_HOOKS.player_connected(k);
  PLAYER_RESPAWN(k);
}

void BOT_CODE(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  // The bookkeeping of a live connection, so a bot never times out.
  c.idle = 0;
  c.ping_tick = SV_PINGVAR;
  c.log_ack = SV_LOGI;
  c.action = ACT_NONE;
  if (!c.joined) {
    c.action = ACT_SPECJOIN;
  } else if (c.health == 0) {
    c.action = ACT_FIRE;  // a respawn request, honoured once the delay is over
  } else if (SV_SCOREBOARD == 0) {
    BOT_MOVE(slot);
    if (c.wait == 0) BOT_ATTACK(slot);  // a reloading bot neither aims nor scans
  }
  PLAYER_ACTIONS(slot);
}

void BOT_MOVE(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (SV_PINGVAR % kGoalPeriod == 0) BOT_TRAGET(slot);
  c.bot_dir = DIR_TURN(c.bot_dir, P_DIR(c.x, c.y, c.goal_x, c.goal_y), kWalkTurn);
  const uint16_t ox = c.x, oy = c.y;
  BOT_TRYMOVE(slot);
  if (!Moved(c, ox, oy)) {
    // Stuck: turn by an amount that varies with the tick and try once more.
    c.bot_dir = static_cast<uint16_t>((SV_PINGVAR % kBlockedTurnPeriod + c.bot_dir + 360) % 360);
    BOT_TRYMOVE(slot);
    return;
  }
  if (DIST2(S16(c.x), S16(c.y), S16(ox), S16(oy)) >= kSlideTest) return;
  // The step was cut by a wall: walk on in the direction actually moved.
  c.bot_dir = P_DIR(ox, oy, c.x, c.y);
  c.x = ox;
  c.y = oy;
  BOT_TRYMOVE(slot);
  if (!Moved(c, ox, oy)) {
    c.bot_dir = static_cast<uint16_t>((c.bot_dir + 540) % 360);
    BOT_TRYMOVE(slot);
  }
}

void BOT_TRYMOVE(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  const float a = static_cast<float>(c.bot_dir) * DEG_TO_RAD;
  const auto nx = static_cast<uint16_t>(c.x + static_cast<int>(kBotStep * std::cos(a)));
  const auto ny = static_cast<uint16_t>(c.y + static_cast<int>(kBotStep * std::sin(a)));
  if (PLAYER_FITS(nx, c.y)) c.x = nx;
  if (PLAYER_FITS(c.x, ny)) c.y = ny;
}

void BOT_TRAGET(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  uint16_t best = kNoDistance;
  const uint16_t to_goal = DIST3(S16(c.x), S16(c.y), S16(c.goal_x), S16(c.goal_y));
  for (int i = 1; i <= MAX_ITEMS; ++i) {
    const MapItem& item = SV_MAP.items[i];
    if (item.respawn != 0 || !MAP_ISITEM(item.kind)) continue;
    const int kind = item.kind - '0';
    const uint16_t d = DIST3(S16(item.x), S16(item.y), S16(c.x), S16(c.y));
    if (c.health < kNeeds) {
      if (Heals(kind) && d < best) {
        best = d;
        SetGoal(c, item);
      }
    } else if (c.ammo[1] < kNeeds) {
      if (SuppliesAmmo(c, kind) && d < best) {
        best = d;
        SetGoal(c, item);
      }
    } else if (ITEMSP_GUN[kind] > 0) {
      // Wander: a bot that has reached its goal may pick a random weapon item.
      if (DrawOneInFive() == 0 && to_goal < kGoalReach) SetGoal(c, item);
    }
  }
}

void BOT_ATTACK(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  const uint8_t t = c.bot_target;
  if (!BOT_CHECK_ENEMY(slot, t)) {
    // Look where it walks and test the next slot on the next tick.
    c.dir = c.bot_dir;
    c.bot_target = static_cast<uint8_t>(t % MAX_SLOTS + 1);
    return;
  }
  const ClientRecord& enemy = SV_CLIENTSLIST[t];
  const uint16_t aim = P_DIR(c.x, c.y, enemy.x, enemy.y);
  const int16_t error = DIR_DIFF(c.dir, aim);
  if (std::abs(error) < kAimTurn)
    c.dir = aim;
  else if (error < 0)
    c.dir = static_cast<uint16_t>((c.dir + 360 + kAimTurn) % 360);
  else
    c.dir = static_cast<uint16_t>((c.dir + 360 - kAimTurn) % 360);
  if (c.dir != aim) return;
  BOT_CHOOSE_GUN(slot);
  if (c.action == ACT_NONE) c.action = ACT_FIRE;
}

bool BOT_CHECK_ENEMY(uint8_t bot, uint8_t other) {
  if (other == bot || other < 1 || other > MAX_SLOTS) return false;
  const ClientRecord& b = SV_CLIENTSLIST[bot];
  const ClientRecord& o = SV_CLIENTSLIST[other];
  if (!o.in_use || !o.joined || o.health == 0) return false;
  if (SV_TEAMPLAY != 0 && o.team == b.team) return false;
  return !LINE_SEE(o.x, o.y, b.x, b.y);
}

void BOT_CHOOSE_GUN(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  const ClientRecord& t = SV_CLIENTSLIST[c.bot_target];
  const uint16_t d = DIST3(S16(c.x), S16(c.y), S16(t.x), S16(t.y));
  const bool rifle_ready = c.ammo[2] > 0 && HasGun(c, 5);
  uint8_t choice;
  if (c.ammo[1] > 0) {
    choice = 2;
    if (HasGun(c, 3))
      choice = 3;
    else if (rifle_ready)
      choice = 5;
    if (d < kChaingunRange && HasGun(c, 4)) choice = 4;
    if (d < kKnifeRange) choice = 1;
  } else {
    choice = rifle_ready ? 5 : 1;
  }
  // Changing weapons costs this tick's shot: the new one comes into hand at
  // the end of the tick.
  if (c.gun != choice) c.action = choice;
}

bool LINE_SEE(uint16_t x1, uint16_t y1, uint16_t x2, uint16_t y2) {
  int n = DIST2(S16(x1), S16(y1), S16(x2), S16(y2)) + 1;
  const int sx = kSightStep * (x2 - x1) / n;
  const int sy = kSightStep * (y2 - y1) / n;
  uint16_t px = x1, py = y1;
  while (n > 0) {
    if (CGGXY(px, py) == CELL_WALL) return true;  // obstacles do not block sight
    px = static_cast<uint16_t>(px + sx);
    py = static_cast<uint16_t>(py + sy);
    n = n < kSightStep ? 0 : n - kSightStep;
  }
  return false;
}

// A linear stand-in for the arc tangent: exact at multiples of 45 degrees,
// within about 5 degrees between them.
uint16_t P_DIR(uint16_t x1, uint16_t y1, uint16_t x2, uint16_t y2) {
  const int dx = static_cast<int16_t>(x2 - x1);
  const int dy = static_cast<int16_t>(y2 - y1);
  if (dx == 0 && dy == 0) return 0;
  int a = std::abs(dx) > std::abs(dy) ? 45 * dy / dx : 90 - 45 * dx / dy;
  if (dy < 0) {
    if (a < 0)
      a += 360;
    else if (a > 0)
      a += 180;
  } else if (a < 0) {
    a += 180;
  }
  if (dx < 0 && a == 0) a = 180;
  return static_cast<uint16_t>(a);
}

int16_t DIR_DIFF(uint16_t a, uint16_t b) {
  const int folded = ((static_cast<int>(a) - b) % 360 + 540) % 360 - 180;
  return static_cast<int16_t>(folded);
}

uint16_t DIR_TURN(uint16_t current, uint16_t target, uint8_t step) {
  const int e = DIR_DIFF(target, current);
  if (std::abs(e) <= step) return target;
  return static_cast<uint16_t>((current + 360 + (e < 0 ? -step : step)) % 360);
}
