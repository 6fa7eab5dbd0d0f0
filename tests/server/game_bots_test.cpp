// Bots: arrival, aim, weapon choice, goals and steps; the angle helpers.
#include <random>

#include "game_maps.h"
#include "server_test.h"

namespace {

using BotsTest = ServerTest;

TEST_F(BotsTest, DirectionIsALinearArcTangentAnglesTurnTheShortWayAndOnlyWallsBlockTheSight) {
  const struct {
    int dx, dy;
    uint16_t dir;
  } cases[] = {{1, 0, 0},     {0, 1, 90},     {-1, 0, 180},  {0, -1, 270},  {2, 1, 22},
               {1, 2, 68},    {-2, 1, 158},   {-1, -1, 225}, {2, -1, 338},  {0, 0, 0},
               {1, 1, 45},    {-1, 1, 135},   {1, -1, 315},  {-100, -1, 180}, {100, -1, 0}};
  for (const auto& k : cases) {
    EXPECT_EQ(P_DIR(1000, 1000, static_cast<uint16_t>(1000 + k.dx), static_cast<uint16_t>(1000 + k.dy)), k.dir)
        << k.dx << "," << k.dy;
  }
  // Angles fold and turn the short way.
  const int differences[][3] = {{10, 350, 20}, {350, 10, -20}, {0, 180, -180}, {180, 0, -180}, {179, 0, 179}, {370, 0, 10}};
  for (const auto& [a, b, want] : differences) EXPECT_EQ(DIR_DIFF(a, b), want) << a << " " << b;
  const int turns[][4] = {{350, 10, 7, 357}, {10, 350, 7, 3}, {0, 5, 7, 5}, {0, 7, 7, 7}, {0, 8, 7, 7}};
  for (const auto& [from, to, step, want] : turns) EXPECT_EQ(DIR_TURN(from, to, step), want) << from << " " << to;
  // Only walls block the line of sight.
  UseMap({"", "", "", "", "     A", "     e"});  // wall at (6, 5), obstacle at (6, 6)
  EXPECT_FALSE(LINE_SEE(Centre(2), Centre(3), Centre(20), Centre(3)));
  EXPECT_TRUE(LINE_SEE(Centre(2), Centre(5), Centre(20), Centre(5)));
  EXPECT_FALSE(LINE_SEE(Centre(2), Centre(6), Centre(20), Centre(6)));
  EXPECT_TRUE(LINE_SEE(Centre(20), Centre(5), Centre(2), Centre(5)));
  EXPECT_FALSE(LINE_SEE(Centre(3), Centre(3), Centre(3), Centre(3)));
}

TEST_F(BotsTest, BotsArriveOnePerTickNamedAndSpreadOverTeams) {
  for (uint8_t teams : {0, 1}) {
    ResetServer();
    UseMap({"@"});
    SV_TEAMPLAY = teams;
    SV_BOTCOUNT = 3;
    AddSpectator(1);  // a human, so ticks run
    const char* names[2][3] = {{"BOT #1", "BOT #2", "BOT #3"}, {"[SS]BOT #1", "[MU]BOT #2", "[SO]BOT #3"}};
    for (uint8_t k = 0; k < 3; ++k) {
      const uint16_t lines = SV_LOGI;
      SimTick();
      const uint8_t slot = static_cast<uint8_t>(k + 2);
      const ClientRecord& b = SV_CLIENTSLIST[slot];
      EXPECT_EQ(SV_BOTC, k + 1);
      EXPECT_EQ(b.name.str(), names[teams][k]);
      EXPECT_EQ(b.team, k);
      EXPECT_EQ(b.address.str(), "0.0.0.0");
      EXPECT_EQ(b.port, 0);
      EXPECT_EQ(LogLine(SV_LOGI - lines - 1), Line({EV_CONNECT, slot, k}) + names[teams][k]);
    }
    SimTick();
    EXPECT_EQ(SV_BOTC, 3);
    ExpectInvariants();
  }
}

// Bot in slot 1 at (x, y), joined, watching slot `target`.
ClientRecord& PlaceBot(uint16_t x, uint16_t y, uint8_t target) {
  AddPlayer(1, x, y);
  ClientRecord& b = SV_CLIENTSLIST[1];
  b.is_bot = 1;
  ++SV_BOTC;
  b.bot_target = target;
  return b;
}

TEST_F(BotsTest, AimTurnsEightDegreesATickThenSnapsAndFiresTheWeaponForTheDistanceAndSupplies) {
  UseMap({});
  ClientRecord& b = PlaceBot(1000, 1000, 2);
  AddPlayer(2, 2000, 1000);  // due east
  b.dir = 90;
  std::vector<int> seen;
  while (b.dir != 0 && seen.size() < 20) {
    b.action = ACT_NONE;
    BOT_ATTACK(1);
    seen.push_back(b.dir);
    if (b.dir != 0) {
      EXPECT_EQ(b.action, ACT_NONE);
    }
  }
  const std::vector<int> expected = {82, 74, 66, 58, 50, 42, 34, 26, 18, 10, 2, 0};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(b.action, ACT_FIRE);  // the pistol in hand is the right weapon
  // The weapon follows distance and supplies.
  SV_CLIENTSLIST[2].x = 1800;
  auto choose = [&] {
    b.action = ACT_NONE;
    BOT_CHOOSE_GUN(1);
    return b.action == ACT_NONE ? b.gun : b.action;
  };
  b.ammo[1] = 50;
  b.has_gun[3] = b.has_gun[4] = 1;
  EXPECT_EQ(choose(), 4);  // chaingun within 1000
  SV_CLIENTSLIST[2].x = 1040;
  EXPECT_EQ(choose(), 1);  // knife below 50
  SV_CLIENTSLIST[2].x = 2100;
  EXPECT_EQ(choose(), 3);  // mp40 beyond the chaingun's range
  b.has_gun[3] = 0;
  b.has_gun[5] = 1;
  b.ammo[2] = 3;
  EXPECT_EQ(choose(), 5);
  b.ammo[1] = 0;
  EXPECT_EQ(choose(), 5);
  b.ammo[2] = 0;
  EXPECT_EQ(choose(), 1);
  b.gun = 1;
  EXPECT_EQ(choose(), 1);
  EXPECT_EQ(b.action, ACT_NONE);  // already in hand: no change, so it may fire
}

TEST_F(BotsTest, EnemyBehindAWallIsLostAndScanningMovesOn) {
  UseMap({"", "", "", "", "", "", "", "", "", "               A"});  // wall at (16, 10)
  ClientRecord& b = PlaceBot(Centre(10), Centre(10), 2);
  AddPlayer(2, Centre(20), Centre(12));
  b.bot_dir = 123;
  EXPECT_TRUE(BOT_CHECK_ENEMY(1, 2));
  BOT_ATTACK(1);
  EXPECT_EQ(b.bot_target, 2);
  SV_CLIENTSLIST[2].y = Centre(10);  // behind the wall
  BOT_ATTACK(1);
  EXPECT_EQ(b.bot_target, 3);
  EXPECT_EQ(b.dir, 123);  // looks where it walks
  BOT_ATTACK(1);
  EXPECT_EQ(b.bot_target, 4);
  b.bot_target = 24;
  BOT_ATTACK(1);
  EXPECT_EQ(b.bot_target, 1);
  BOT_ATTACK(1);  // itself: never an enemy
  EXPECT_EQ(b.bot_target, 2);
}

TEST_F(BotsTest, HurtOrShortBotHeadsForTheNearestUsefulItemTheFirstOfEqualOnes) {
  // Row 10: health at column 4, ammunition at 9, the rifle at 12 and armour
  // at 14; the bot stands at column 11.
  UseMap({"", "", "", "", "", "", "", "", "", "   5    4  9 0"});
  ClientRecord& b = PlaceBot(Centre(11), Centre(10), 1);
  b.health = 50;
  BOT_TRAGET(1);
  EXPECT_EQ(b.goal_x, Centre(14));  // armour 3 cells away beats health 7 away
  b.health = 100;
  b.ammo[1] = 10;
  BOT_TRAGET(1);
  EXPECT_EQ(b.goal_x, Centre(9));  // the rifle brings no type-1 ammunition
  SV_MAP.items[2].respawn = 5;      // taken items do not count
  b.goal_x = 1234;
  BOT_TRAGET(1);
  EXPECT_EQ(b.goal_x, 1234);  // nothing suitable: the goal stays
  UseMap({"", "", "", "", "", "", "", "", "", "     6   6"});
  b.x = Centre(8);
  b.health = 20;
  BOT_TRAGET(1);
  EXPECT_EQ(b.goal_x, Centre(6));  // of two at the same distance, the lower index
}

TEST_F(BotsTest, SuppliedBotWandersToWeaponsByTheFixedSeedDraw) {
  UseMap({"", "", "", "", "", "", "", "", "", "  9  1  2"});
  ClientRecord& b = PlaceBot(Centre(20), Centre(20), 1);
  b.ammo[1] = 150;
  std::mt19937 expected_rng(0);
  for (int pass = 0; pass < 40; ++pass) {
    b.goal_x = b.x;  // at its goal, so a draw of 0 takes the item
    b.goal_y = b.y;
    uint16_t expected_goal = b.x;
    for (int col : {3, 6, 9}) {
      const uint64_t draw = (static_cast<uint64_t>(expected_rng()) * 5) >> 32;
      if (draw == 0) expected_goal = Centre(col);
    }
    BOT_TRAGET(1);
    EXPECT_EQ(b.goal_x, expected_goal) << "pass " << pass;
  }
  b.goal_x = b.x + 100;  // not at its goal: draws are made, goals stay
  for (int pass = 0; pass < 10; ++pass) BOT_TRAGET(1);
  EXPECT_EQ(b.goal_x, b.x + 100);
}

TEST_F(BotsTest, BlockedBotTurnsByTheTickCounterAndAShortDiagonalStepIsRetakenAlongItsDirection) {
  UseMap({"", "", "", "", "", "", "", "", "", "           A"});  // wall at (12, 10)
  ClientRecord& b = PlaceBot(64 * 12 - 16, Centre(10), 1);
  b.goal_x = 3000;  // due east, into the wall
  b.goal_y = b.y;
  b.bot_dir = 0;
  SV_PINGVAR = 100;
  BOT_MOVE(1);
  EXPECT_EQ(b.bot_dir, 100);
  EXPECT_EQ(b.x, 64 * 12 - 16 - 1);  // trunc(11 cos 100°) = -1
  EXPECT_EQ(b.y, Centre(10) + 10);   // trunc(11 sin 100°) = 10
  b.x = b.y = 1000;
  b.goal_x = b.goal_y = 2000;
  b.bot_dir = 45;
  SV_PINGVAR = 1;
  BOT_MOVE(1);
  EXPECT_EQ(b.x, 1007);
  EXPECT_EQ(b.y, 1007);
  EXPECT_EQ(b.bot_dir, 45);
}

TEST_F(BotsTest, BotsStandStillDuringTheCountdown) {
  UseMap(game_test::BusyArena());
  SV_BOTCOUNT = 4;
  AddSpectator(1);
  for (int t = 0; t < 40; ++t) SimTick();
  SV_SCOREBOARD = 200;
  ClientRecord before[MAX_SLOTS + 1];
  std::copy(std::begin(SV_CLIENTSLIST), std::end(SV_CLIENTSLIST), before);
  for (int t = 0; t < 50; ++t) SimTick();
  for (uint8_t j = 2; j <= 5; ++j) {
    EXPECT_EQ(SV_CLIENTSLIST[j].x, before[j].x);
    EXPECT_EQ(SV_CLIENTSLIST[j].y, before[j].y);
    EXPECT_EQ(SV_CLIENTSLIST[j].ammo[1], before[j].ammo[1]);
    EXPECT_EQ(SV_CLIENTSLIST[j].health, before[j].health);
    EXPECT_EQ(SV_CLIENTSLIST[j].action, ACT_NONE);
  }
}

}  // namespace
