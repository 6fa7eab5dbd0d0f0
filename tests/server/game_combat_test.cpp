// Movement and shots: cells, distances, steps and bodies against walls, the
// hit test; damage, traces, weapons, ammunition and respawning.
#include <cmath>
#include <random>

#include "server_test.h"

namespace {

using MovementTest = ServerTest;
using CombatTest = ServerTest;

TEST_F(MovementTest, CellsOutsideTheGridAreWallAndDistancesMatchTheWorkedExamples) {
  UseMap({"A e"});
  // Outside on each side; column 1, row 1 ('A'); column 2; column and row 64;
  // the obstacle; a probe left of 0 wraps.
  const int probes[][3] = {{63, 100, CELL_WALL},   {4160, 100, CELL_WALL}, {100, 63, CELL_WALL},
                           {100, 4160, CELL_WALL}, {64, 64, CELL_WALL},    {128, 64, CELL_FREE},
                           {4159, 4159, CELL_FREE}, {3 * 64, 127, CELL_OBSTACLE}, {65531, 100, CELL_WALL}};
  for (const auto& [x, y, cell] : probes)
    EXPECT_EQ(CGGXY(static_cast<uint16_t>(x), static_cast<uint16_t>(y)), cell) << x << "," << y;
  EXPECT_EQ(DIST2(0, 0, 3, 4), 5);
  EXPECT_EQ(DIST2(5, 5, 5, 5), 0);
  EXPECT_EQ(DIST2(3, 4, 0, 0), 5);
  EXPECT_EQ(DIST3(0, 0, 100, 0), 96);
  EXPECT_EQ(DIST3(0, 0, 0, -100), 96);
  EXPECT_EQ(DIST3(0, 0, 100, 100), 135);
  EXPECT_EQ(DIST3(100, 100, 0, 0), 135);
  // The fast root stays in its band.
  for (uint32_t s = 1; s < 2000000; s += 37) {
    const double root = std::sqrt(static_cast<double>(s));
    const double got = SQRT2(static_cast<float>(s));
    ASSERT_GE(got, root * (1 - 1e-6)) << s;
    ASSERT_LE(got, root * 1.0018) << s;
  }
  EXPECT_LT(SQRT2(0.0f), 1e-6f);
  // Whole distances come out exact for small values.
  for (int d = 0; d <= 300; ++d) EXPECT_EQ(DIST2(0, 0, static_cast<int16_t>(d), 0), d);
}

// Asks to move slot 1 by (dx, dy) and returns where it ends up.
std::pair<int, int> Request(int dx, int dy) {
  ClientRecord& c = SV_CLIENTSLIST[1];
  c.want_x = static_cast<uint16_t>(c.x + dx);
  c.want_y = static_cast<uint16_t>(c.y + dy);
  PLAYER_MOVE(1);
  return {c.x, c.y};
}

TEST_F(MovementTest, EachRequestIsTakenOnlyBelowTheStepLimitFromWhereThePreviousLeftIt) {
  UseMap({});
  const uint16_t x = Centre(10), y = Centre(10);
  const struct {
    int dx, dy;
    bool taken;
  } cases[] = {{11, 0, true}, {12, 0, false}, {9, 8, false}, {8, 8, true}, {0, -11, true}, {-12, 0, false}};
  for (const auto& k : cases) {
    AddPlayer(1, x, y);
    const auto [nx, ny] = Request(k.dx, k.dy);
    // A request too long is ignored entirely, not shortened.
    EXPECT_EQ(nx, k.taken ? x + k.dx : x) << k.dx << "," << k.dy;
    EXPECT_EQ(ny, k.taken ? y + k.dy : y) << k.dx << "," << k.dy;
  }
  SV_CLIENTSLIST[1].x = x;
  SV_CLIENTSLIST[1].y = y;
  for (int dx : {10, 10, 20, 10}) Request(dx, 0);  // the 20 is too long from where the second left it
  EXPECT_EQ(SV_CLIENTSLIST[1].x, x + 30);
}

// Walks slot 1 one unit at a time along (dx, dy) until it stops; returns the
// final position.
std::pair<int, int> WalkUntilStopped(int dx, int dy) {
  for (int i = 0; i < 100; ++i) Request(dx, dy);
  return {SV_CLIENTSLIST[1].x, SV_CLIENTSLIST[1].y};
}

TEST_F(MovementTest, BodyStopsSixteenShortOfAWallAndFifteenPastOneAndSlidesAlongIt) {
  // Column 5 is walled on both sides (columns 4 and 6), rows 5 likewise.
  UseMap({"", "", "", "    A", "   A A", "    A"});
  const int c = 5;
  AddPlayer(1, Centre(c), Centre(c));
  EXPECT_EQ(WalkUntilStopped(1, 0).first, 64 * (c + 1) - 16);
  EXPECT_EQ(WalkUntilStopped(-1, 0).first, 64 * c + 15);
  EXPECT_EQ(WalkUntilStopped(0, 1).second, 64 * (c + 1) - 16);
  EXPECT_EQ(WalkUntilStopped(0, -1).second, 64 * c + 15);
  UseMap({"", "", "", "     e"});  // obstacles block bodies like walls
  AddPlayer(1, Centre(5), Centre(4));
  EXPECT_EQ(WalkUntilStopped(1, 0).first, 64 * 6 - 16);
  // A diagonal step into a wall slides along it.
  UseMap({"", "", "      A", "      A", "      A"});  // wall in column 7, rows 3..5
  AddPlayer(1, 64 * 7 - 16, Centre(4));
  EXPECT_EQ(Request(5, 5), std::make_pair(64 * 7 - 16, Centre(4) + 5));
}

TEST_F(MovementTest, HitTestIsStrictAtThirtyUnitsAndSkipsTheShooterSpectatorsTheDeadAndTeamMates) {
  UseMap({});
  AddPlayer(1, 1000, 1000);
  AddPlayer(2, 1030, 1000);
  EXPECT_EQ(PLAYERINPOINT(1000, 1000, 1), 0);
  SV_CLIENTSLIST[2].x = 1029;
  SV_CLIENTSLIST[2].y = 971;
  EXPECT_EQ(PLAYERINPOINT(1000, 1000, 1), 2);
  EXPECT_EQ(PLAYERINPOINT(1000, 1000, 2), 1);  // never the shooter itself
  ResetServer();
  AddPlayer(1, 500, 500, 0);
  AddSpectator(2);
  SV_CLIENTSLIST[2].x = SV_CLIENTSLIST[2].y = 1000;
  AddPlayer(3, 1000, 1000, 1);
  SV_CLIENTSLIST[3].health = 0;
  AddPlayer(4, 1001, 1000, 0);
  AddPlayer(5, 1002, 1000, 2);
  EXPECT_EQ(PLAYERINPOINT(1000, 1000, 1), 4);  // free-for-all: lowest living slot
  SV_TEAMPLAY = 1;
  EXPECT_EQ(PLAYERINPOINT(1000, 1000, 1), 5);  // the team mate in slot 4 is passed
  EXPECT_EQ(PLAYERINPOINT(1000, 1000, 5), 4);
}

// The shot trace written plainly: every slot tested at every trace point.
ShotEnd ReferenceTrace(uint8_t slot) {
  const ClientRecord& c = SV_CLIENTSLIST[slot];
  const uint8_t g = c.gun;
  const int k = WEAPONS[g].dispersion;
  const int spread = k > 0 ? SV_PINGVAR % (2 * k) - k : 0;
  const float a = static_cast<float>((c.dir + spread + 360) % 360) * 0.0174532925f;
  const float sx = std::cos(a) * static_cast<float>(WEAPONS[g].trace_step);
  const float sy = std::sin(a) * static_cast<float>(WEAPONS[g].trace_step);
  float fx = c.x, fy = c.y;
  uint16_t px = c.x, py = c.y;
  unsigned covered = 0;
  for (uint16_t point = 0;; ++point) {
    if (CGGXY(px, py) == CELL_WALL) return {0, point};
    if (uint8_t v = PLAYERINPOINT(px, py, slot)) return {v, point};
    covered += WEAPONS[g].trace_step;
    fx += sx;
    px = static_cast<uint16_t>(static_cast<int32_t>(fx));
    fy += sy;
    py = static_cast<uint16_t>(static_cast<int32_t>(fy));
    if (covered > WEAPONS[g].trace_range) return {0, static_cast<uint16_t>(point + 1)};
  }
}

void Give(uint8_t slot, uint8_t gun) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  c.has_gun[gun] = 1;
  c.gun = c.next_gun = gun;
}

TEST_F(CombatTest, DamageIsSplitBetweenArmourAndHealthAndAKillIsCreditedAndLogged) {
  struct Case {
    uint8_t weapon, armor, health;
    int armor_after, health_after;
  } cases[] = {
      {2, 25, 100, 17, 96},  // 8 against 25
      {1, 25, 100, 0, 63},   // knife: 50 against 25
      {5, 0, 100, 0, 60},    // rifle against no armour
      {5, 100, 100, 60, 80}, // rifle against full armour
      {2, 8, 4, 0, 0},       // a loss equal to the remaining health kills
      {5, 0, 30, 0, 0},
  };
  UseMap({});
  for (const Case& k : cases) {
    SCOPED_TRACE(std::to_string(k.weapon) + " vs armour " + std::to_string(k.armor));
    ResetServer();
    AddPlayer(3, 500, 500);
    AddPlayer(7, 1000, 500);
    ClientRecord& victim = SV_CLIENTSLIST[7];
    victim.armor = k.armor;
    victim.health = k.health;
    const uint16_t lines = SV_LOGI;
    PLAYER_DAMAGE(3, 7, k.weapon);
    EXPECT_EQ(victim.armor, k.armor_after);
    EXPECT_EQ(victim.health, k.health_after);
    const bool killed = k.health_after == 0;
    EXPECT_EQ(SV_CLIENTSLIST[3].frags, killed ? 1 : 0);
    EXPECT_EQ(SV_LOGI, lines + killed);
    if (killed) {
      EXPECT_EQ(PLAYER_STATE(7), PS_DEAD);
      EXPECT_EQ(victim.wait, 30);
      EXPECT_EQ(LogLine(), Line({EV_KILL, k.weapon, 3, 7}));
    }
    EXPECT_EQ(SV_SCOREBOARD, 0);
  }
}

TEST_F(CombatTest, ChaingunSpreadCyclesWithTheTickCounter) {
  // Eight targets 2500 units east, one per spread angle -4..3: a degree is
  // 43 units there, wider than a hit box, so only the exact angle hits.
  UseMap({});
  const uint16_t x0 = 200, y0 = 2100;
  AddPlayer(1, x0, y0);
  Give(1, 4);
  for (int offset = -4; offset <= 3; ++offset) {
    const double a = offset * 0.0174532925;
    AddPlayer(static_cast<uint8_t>(offset + 6), static_cast<uint16_t>(x0 + 2500 * std::cos(a)),
              static_cast<uint16_t>(y0 + 2500 * std::sin(a)));
  }
  const struct {
    uint16_t tick;
    int offset;
  } shots[] = {{0, -4}, {3, -1}, {6, 2}, {9, -3}, {7, 3}};
  for (const auto& shot : shots) {
    SV_PINGVAR = shot.tick;
    EXPECT_EQ(PLAYER_TRACE(1).victim, shot.offset + 6) << "tick " << shot.tick;
  }
  Give(1, 3);  // the mp40 has no spread
  SV_PINGVAR = 5;
  EXPECT_EQ(PLAYER_TRACE(1).victim, 6);
  SV_CLIENTSLIST[1].dir = 361;  // a direction of 360 or more fires modulo 360
  EXPECT_EQ(PLAYER_TRACE(1).victim, 7);
}

TEST_F(CombatTest, TraceStartsAtTheShooterStopsAtWallsNotObstaclesAndHitsTheNearest) {
  UseMap({"", "", "", "          e     A"});  // obstacle in column 11, wall in column 17 of row 4
  AddPlayer(1, Centre(3), Centre(4));
  EXPECT_EQ(PLAYER_TRACE(1).victim, 0);
  EXPECT_EQ(PLAYER_TRACE(1).point, (64 * 17 - Centre(3)) / 10 + 1);  // first point inside column 17
  AddPlayer(2, Centre(14), Centre(4));  // behind the obstacle, before the wall
  EXPECT_EQ(PLAYER_TRACE(1).victim, 2);
  AddPlayer(3, Centre(3) + 29, Centre(4) - 29);  // inside the shooter's own hit box
  EXPECT_EQ(PLAYER_TRACE(1).victim, 3);
  EXPECT_EQ(PLAYER_TRACE(1).point, 0);
  SV_CLIENTSLIST[2].x = Centre(18);  // behind the wall
  SV_CLIENTSLIST[3].in_use = 0;
  EXPECT_EQ(PLAYER_TRACE(1).victim, 0);
  // In open ground: the nearer enemy takes the hit, a tie the lower slot.
  UseMap({});
  AddPlayer(1, 500, 1000);
  AddPlayer(9, 900, 1000);
  AddPlayer(4, 700, 1000);
  EXPECT_EQ(PLAYER_TRACE(1).victim, 4);
  SV_CLIENTSLIST[4].x = 905;  // same trace point now covers both
  EXPECT_EQ(PLAYER_TRACE(1).victim, 4);
  SV_CLIENTSLIST[9].x = 896;
  SV_CLIENTSLIST[4].x = 920;
  EXPECT_EQ(PLAYER_TRACE(1).victim, 9);
  // The knife reaches forty units plus a hit box: points 0, 10, 20, 30, 40 tested.
  Give(1, 1);
  SV_CLIENTSLIST[4].x = 569;
  EXPECT_EQ(PLAYER_TRACE(1).victim, 4);
  EXPECT_EQ(PLAYER_TRACE(1).point, 4);
  SV_CLIENTSLIST[4].x = 570;
  EXPECT_EQ(PLAYER_TRACE(1).victim, 0);
  EXPECT_EQ(PLAYER_TRACE(1).point, 5);
}

TEST_F(CombatTest, ActionsSelectOwnedWeaponsAndFireOncePerReloadSpendingAmmunition) {
  UseMap({});
  AddPlayer(1, 500, 1000);
  AddPlayer(2, 900, 1000);
  ClientRecord& c = SV_CLIENTSLIST[1];
  c.action = ACT_GUN5;
  PLAYER_ACTIONS(1);
  EXPECT_EQ(c.next_gun, 2);
  c.action = ACT_GUN1;
  PLAYER_ACTIONS(1);
  EXPECT_EQ(c.next_gun, 1);
  c.action = 2;
  PLAYER_ACTIONS(1);
  for (uint8_t code : {0, 6, 9, 12, 15, 200}) {
    c.action = code;
    PLAYER_ACTIONS(1);
    EXPECT_EQ(c.next_gun, 2);
    EXPECT_EQ(c.wait, 0);
  }
  c.action = ACT_FIRE;
  for (int i = 0; i < 5; ++i) PLAYER_ACTIONS(1);  // many messages, one shot
  EXPECT_EQ(c.ammo[1], 24);
  EXPECT_EQ(c.wait, WEAPONS[2].reload);
  EXPECT_EQ(c.fire_anim, WEAPONS[2].fire_anim);
  EXPECT_EQ(SV_CLIENTSLIST[2].health, 96);

  // The rifle without its own ammunition does nothing at all.
  c.wait = 0;
  c.fire_anim = 0;
  Give(1, 5);
  PLAYER_SHOOT(1);
  EXPECT_EQ(c.wait, 0);
  EXPECT_EQ(c.fire_anim, 0);
  EXPECT_EQ(c.gun, 5);
  EXPECT_EQ(SV_CLIENTSLIST[2].health, 96);

  // The knife uses none and always fires.
  Give(1, 1);
  c.ammo[1] = 0;
  SV_CLIENTSLIST[2].x = 530;
  PLAYER_SHOOT(1);
  EXPECT_EQ(c.wait, WEAPONS[1].reload);
  EXPECT_LT(SV_CLIENTSLIST[2].health, 96);
}

TEST_F(CombatTest, DeadPlayerRespawnsOnFireOnlyAfterTheDelay) {
  UseMap({"@"});
  AddPlayer(1, 500, 1000);
  AddPlayer(2, 900, 1000);
  ClientRecord& c = SV_CLIENTSLIST[2];
  c.health = 1;
  PLAYER_DAMAGE(1, 2, 2);
  c.action = ACT_FIRE;
  for (int tick = 0; tick < 30; ++tick) {
    PLAYER_ACTIONS(2);
    EXPECT_EQ(c.health, 0) << tick;
    SimTick();
  }
  PLAYER_ACTIONS(2);
  EXPECT_EQ(c.health, 100);
  EXPECT_EQ(c.x, Centre(1));
  EXPECT_EQ(c.wait, 10);
  for (int tick = 0; tick < 10; ++tick) {
    SimTick();
    if (tick < 9) {
      PLAYER_ACTIONS(2);
      EXPECT_EQ(c.ammo[1], 25) << "no shot during the respawn guard";
    }
  }
  PLAYER_ACTIONS(2);
  EXPECT_EQ(c.ammo[1], 24);
}

TEST_F(CombatTest, TestedTraceMatchesThePlainTraceOnRandomShots) {
  std::mt19937 rng(12345);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  int hits = 0, shots = 0;
  for (int round = 0; round < 400; ++round) {
    ResetServer();
    std::vector<std::string> rows(64, std::string(64, ' '));
    for (auto& row : rows)
      for (char& ch : row) ch = pick(0, 99) < 3 ? 'A' : pick(0, 99) < 3 ? 'e' : ' ';
    UseMap(rows);
    SV_TEAMPLAY = static_cast<uint8_t>(pick(0, 1));
    for (uint8_t j = 1; j <= MAX_SLOTS; ++j) {
      if (pick(0, 9) == 0) continue;
      AddPlayer(j, static_cast<uint16_t>(pick(64, 4159)), static_cast<uint16_t>(pick(64, 4159)),
                static_cast<uint8_t>(pick(0, 3)));
      if (pick(0, 9) == 0) SV_CLIENTSLIST[j].health = 0;
      if (pick(0, 9) == 0) SV_CLIENTSLIST[j].joined = 0;
    }
    for (int s = 0; s < 60; ++s) {
      const uint8_t shooter = static_cast<uint8_t>(pick(1, MAX_SLOTS));
      ClientRecord& c = SV_CLIENTSLIST[shooter];
      if (!c.in_use) continue;
      // Crowd some players around the shooter so that many shots hit.
      c.dir = static_cast<uint16_t>(pick(0, 719));
      for (int n = 0; n < 3; ++n) {
        const uint8_t other = static_cast<uint8_t>(pick(1, MAX_SLOTS));
        SV_CLIENTSLIST[other].x = static_cast<uint16_t>(c.x + pick(-400, 400));
        SV_CLIENTSLIST[other].y = static_cast<uint16_t>(c.y + pick(-400, 400));
      }
      // And some right at the edge of the ray's reach, far along it.
      const double a = c.dir * 0.0174532925, along = pick(0, 3000), beside = pick(-45, 45);
      const uint8_t edge = static_cast<uint8_t>(pick(1, MAX_SLOTS));
      SV_CLIENTSLIST[edge].x = static_cast<uint16_t>(c.x + along * std::cos(a) - beside * std::sin(a));
      SV_CLIENTSLIST[edge].y = static_cast<uint16_t>(c.y + along * std::sin(a) + beside * std::cos(a));
      c.gun = static_cast<uint8_t>(pick(1, 5));
      SV_PINGVAR = static_cast<uint16_t>(pick(0, 65535));
      const ShotEnd fast = PLAYER_TRACE(shooter), plain = ReferenceTrace(shooter);
      ASSERT_EQ(fast.victim, plain.victim) << "round " << round << " shot " << s;
      ASSERT_EQ(fast.point, plain.point) << "round " << round << " shot " << s;
      hits += fast.victim != 0;
      ++shots;
    }
  }
  EXPECT_GT(hits, shots / 10);  // the comparison covered hits, not only walls
}

}  // namespace
