// The client's map model, prediction and reconciliation, and shot traces.
#include <cmath>

#include "client/core/client_state.h"
#include "client/core/world.h"
#include "client/presentation/renderer.h"
#include "core_test_env.h"

namespace {

class WorldTest : public CoreTest {};

// Puts a living player at a position as a snapshot would, before the entry
// of the next snapshot is read.
void PlaceLiving(uint8_t slot, uint16_t x, uint16_t y, uint8_t team = 0) {
  players[slot].x = x;
  players[slot].y = y;
  players[slot].team = team;
  players[slot].state = players[slot].prev_state = PS_ALIVE;
}

int BusyEffects(uint8_t kind) {
  int n = 0;
  for (const TEffect& e : effects) n += (e.frame < 4 && e.kind == kind);
  return n;
}

const TEffect* FirstEffect(uint8_t kind) {
  for (const TEffect& e : effects) {
    if (e.frame < 4 && e.kind == kind) return &e;
  }
  return nullptr;
}

TEST_F(WorldTest, DecodeMapBuildsGridDecorationsItemsAndColours) {
  // Row 1: wall, obstacle, passable decoration, item, spawn, item, line feed.
  LoadMap(MapText({"Ae1b@9\n", "", "[c"}, "123x56"));
  EXPECT_EQ(ceiling_colour, (28u << 16) | (56u << 8) | 84u);
  EXPECT_EQ(floor_colour, (0u << 16) | (140u << 8) | 168u);  // 'x' is no digit: 0
  EXPECT_EQ(map_grid[1][1], 'A');
  EXPECT_EQ(map_grid[2][1], 'e');
  EXPECT_EQ(map_grid[3][1], ' ');  // items are floor
  EXPECT_EQ(map_grid[4][1], ' ');  // 'b' is walked through
  EXPECT_EQ(map_grid[7][1], ' ');  // a line feed counts as one open cell
  EXPECT_EQ(map_grid[1][3], '[');
  EXPECT_EQ(map_grid[0][10], '[');
  EXPECT_EQ(map_grid[65][65], '[');

  EXPECT_EQ(decorations[1].kind, 'e');
  EXPECT_FLOAT_EQ(decorations[1].x, 2.5f);
  EXPECT_FLOAT_EQ(decorations[1].y, 1.5f);
  EXPECT_EQ(decorations[2].kind, 'b');
  EXPECT_EQ(decorations[3].kind, 'c');
  EXPECT_FLOAT_EQ(decorations[3].y, 3.5f);
  EXPECT_EQ(decorations[4].kind, 0);

  EXPECT_EQ(map_items[1].kind, '1');
  EXPECT_FLOAT_EQ(map_items[1].x, 3.5f);
  EXPECT_EQ(map_items[2].kind, '9');
  EXPECT_FLOAT_EQ(map_items[2].x, 6.5f);
  EXPECT_EQ(map_items[2].present, 0);
  EXPECT_EQ(map_items[3].kind, '1');  // ClearMap's filler, not an item of this map
  EXPECT_FLOAT_EQ(map_items[3].x, 0.0f);
}

TEST_F(WorldTest, DecodeMapCutsLongRowsAndExtraRowsAndCapsTables) {
  std::string long_row(70, 'B');
  long_row[63] = 'C';
  std::vector<std::string> rows = {long_row, "D"};
  for (int r = 3; r <= 66; ++r) rows.push_back("E");
  LoadMap(MapText(rows));
  EXPECT_EQ(map_grid[64][1], 'C');
  EXPECT_EQ(map_grid[65][1], '[');  // column 65 stays the border
  EXPECT_EQ(map_grid[1][2], 'D');   // the next row starts as usual
  EXPECT_EQ(map_grid[1][64], 'E');
  EXPECT_EQ(map_grid[1][65], '[');

  std::string many(64, '5');
  LoadMap(MapText({many, many, many}));
  EXPECT_EQ(map_items[128].kind, '5');
  EXPECT_FLOAT_EQ(map_items[128].y, 2.5f);  // 64 in row 1, 64 in row 2, none of row 3
  std::string decor(64, 'a');
  LoadMap(MapText({decor, decor, decor}));
  EXPECT_FLOAT_EQ(decorations[128].y, 2.5f);
}

TEST_F(WorldTest, ShortMapTextGivesBlackAndAnEmptyMap) {
  LoadMap("12");
  EXPECT_EQ(ceiling_colour, (28u << 16) | (56u << 8));
  EXPECT_EQ(floor_colour, 0u);
  EXPECT_EQ(map_grid[1][1], ' ');
  EXPECT_EQ(decorations[1].kind, 0);
}

TEST_F(WorldTest, ClearMapResetsTablesAndColours) {
  LoadMap(MapText({"Ae1"}, "999999"));
  AddEffect(5, EFFECT_PUFF, 1, 1);
  ClearMap();
  EXPECT_EQ(map_grid[1][1], ' ');
  EXPECT_EQ(decorations[1].kind, 0);
  EXPECT_EQ(map_items[1].kind, '1');
  EXPECT_EQ(map_items[1].present, 0);
  EXPECT_EQ(BusyEffects(EFFECT_PUFF), 0);
  EXPECT_EQ(floor_colour, 0x767676u);
  EXPECT_EQ(ceiling_colour, 0x4E4E4Eu);
}

TEST_F(WorldTest, EffectsTakeTheFirstFreeEntryAndAreDroppedWhenAllAreBusy) {
  for (int i = 0; i < MAX_EFFECTS; ++i) AddEffect(static_cast<uint8_t>(i), EFFECT_BLOOD, 1, 1);
  AddEffect(200, EFFECT_PUFF, 2, 2);
  EXPECT_EQ(BusyEffects(EFFECT_BLOOD), MAX_EFFECTS);
  EXPECT_EQ(BusyEffects(EFFECT_PUFF), 0);
  effects[10].frame = 4;
  AddEffect(200, EFFECT_PUFF, 2, 2);
  EXPECT_EQ(effects[10].kind, EFFECT_PUFF);
  EXPECT_EQ(effects[10].value, 200);
  EXPECT_EQ(effects[10].frame, 0);
}

class MoveTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    LoadMap(MapText({"", "", "", "", "     A"}));  // one wall at column 6, row 5
    my_slot = view_slot = 1;
    players[1].state = PS_ALIVE;
  }
  void Hold(uint8_t key) { key_state[key] = 5; }
};

TEST_F(MoveTest, EightDirectionsAtElevenUnitsAndOppositeKeysCancel) {
  local_x = local_y = 1000;
  net_angle = 0;
  Hold('W');
  MoveLocal();
  EXPECT_EQ(local_x, 1011);
  EXPECT_EQ(local_y, 1000);

  Hold('S');  // forward and backward together
  MoveLocal();
  EXPECT_EQ(local_x, 1011);
  EXPECT_EQ(history_x[HISTORY_LEN - 1], 1011);  // still pushed
  EXPECT_EQ(history_x[HISTORY_LEN - 2], 1011);

  key_state['S'] = 0;
  Hold('A');  // forward and strafe left: 45 degrees left of the view
  MoveLocal();
  EXPECT_EQ(local_x, 1011 + 7);
  EXPECT_EQ(local_y, 1000 - 7);

  Hold('S');
  Hold('D');  // all four keys: no movement
  MoveLocal();
  EXPECT_EQ(local_x, 1018);
  EXPECT_EQ(local_y, 993);

  key_state['W'] = key_state['A'] = 0;  // backward and strafe right
  MoveLocal();
  EXPECT_EQ(local_x, 1018 - 7);
  EXPECT_EQ(local_y, 993 + 7);
}

TEST_F(MoveTest, SlidesAlongWallsAndSpectatorsFlyThroughThem) {
  // Wall cell column 6 spans x 384..447; the body reaches 15 units out.
  local_x = 360;
  local_y = 5 * 64 + 20;
  net_angle = 45;  // diagonal into the wall: x blocked, y goes on
  Hold('W');
  MoveLocal();
  EXPECT_EQ(local_x, 367);
  EXPECT_EQ(local_y, 5 * 64 + 27);
  MoveLocal();
  EXPECT_EQ(local_x, 367);  // 374 + 15 would reach the wall
  EXPECT_EQ(local_y, 5 * 64 + 34);

  players[1].state = PS_SPECTATOR;
  net_angle = 0;
  for (int i = 0; i < 10; ++i) MoveLocal();
  EXPECT_EQ(local_x, 477);  // straight through the wall

  local_x = 70;
  net_angle = 180;
  MoveLocal();
  EXPECT_EQ(local_x, 65);  // clamped inside the grid
}

TEST_F(WorldTest, IsFreeReadsBorderForProbesOutsideTheGrid) {
  EXPECT_FALSE(IsFree(10, 1000));
  EXPECT_FALSE(IsFree(65530, 65530));
  EXPECT_TRUE(IsFree(1000, 1000));
}

TEST_F(WorldTest, ServerPositionFromTheLast40PredictionsStandsOthersSnap) {
  my_slot = view_slot = 1;
  players[1].prev_state = players[1].state = PS_ALIVE;
  ClearHistory();
  for (uint16_t i = 0; i < 45; ++i) PushHistory(static_cast<uint16_t>(1000 + i), 500);
  local_x = 1044;
  local_y = 500;

  players[1].x = 1005;  // pushed 40 frames ago: still confirmed
  players[1].y = 500;
  ApplyPlayerUpdate(1);
  EXPECT_EQ(local_x, 1044);
  EXPECT_TRUE(InHistory(1044, 500));

  players[1].x = 1004;  // 41 frames ago: forgotten, so the server wins
  ApplyPlayerUpdate(1);
  EXPECT_EQ(local_x, 1004);
  EXPECT_EQ(local_y, 500);
  EXPECT_FALSE(InHistory(1044, 500));
  EXPECT_TRUE(InHistory(1004, 500));
  EXPECT_TRUE(InHistory(0, 0));
}

TEST_F(WorldTest, SpawnResetsOwnPositionAndGivesThePistol) {
  my_slot = 3;
  view_slot = 7;
  players[3].prev_state = PS_DEAD;
  players[3].state = PS_ALIVE;
  players[3].x = 5000;  // clamped
  players[3].y = 10;
  players[3].gun = 5;
  ApplyPlayerUpdate(3);
  EXPECT_EQ(players[3].gun, 2);
  EXPECT_EQ(players[3].x, 4159);
  EXPECT_EQ(players[3].y, 65);
  EXPECT_FLOAT_EQ(players[3].fx, 4159 / 64.0f);
  EXPECT_EQ(view_slot, 3);
  EXPECT_EQ(local_x, 4159);
  EXPECT_EQ(local_y, 65);
  ASSERT_NE(FirstEffect(EFFECT_SPAWN), nullptr);
  EXPECT_FLOAT_EQ(FirstEffect(EFFECT_SPAWN)->x, 4159 / 64.0f);
}

TEST_F(WorldTest, FollowedPlayerGivesViewPositionAndAngle) {
  my_slot = 1;
  players[1].state = PS_SPECTATOR;
  view_slot = 4;
  PlaceLiving(4, 800, 900);
  players[4].dir = 123;
  ApplyPlayerUpdate(4);
  EXPECT_EQ(local_x, 800);
  EXPECT_EQ(local_y, 900);
  EXPECT_FLOAT_EQ(view_angle, 123.0f);
}

class ShotTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    // A wall column at 40 across rows 1..20.
    std::vector<std::string> rows(20, std::string(39, ' ') + "A");
    LoadMap(MapText(rows));
    view_slot = my_slot = 20;
  }
  void Fire(uint8_t slot, uint8_t gun, uint16_t x, uint16_t y, uint16_t dir) {
    PlaceLiving(slot, x, y, players[slot].team);
    players[slot].state = PS_FIRING;
    players[slot].gun = gun;
    players[slot].dir = dir;
    ApplyPlayerUpdate(slot);
  }
};

TEST_F(ShotTest, WallShotPutsThePuffOneStepInFrontOfTheWall) {
  frame_counter = 7;
  Fire(1, 2, 640, 640, 0);
  EXPECT_EQ(players[1].shot_timer, 18);
  EXPECT_EQ(players[1].fire_pose, 6);
  const TEffect* puff = FirstEffect(EFFECT_PUFF);
  ASSERT_NE(puff, nullptr);
  EXPECT_EQ(puff->value, 109);
  EXPECT_LT(puff->x, 40.0f);  // wall cell column 40 starts at x = 2560
  EXPECT_GT(puff->x, 39.8f);
  EXPECT_FLOAT_EQ(puff->y, 10.0f);

  // A second snapshot while the timer runs traces nothing.
  effects[0].frame = 4;
  Fire(1, 2, 640, 640, 0);
  EXPECT_EQ(FirstEffect(EFFECT_PUFF), nullptr);
}

TEST_F(ShotTest, ChaingunSpreadFollowsTheServerTick) {
  server_tick = 4;  // (4 mod 8) - 4 = 0
  Fire(1, 4, 640, 640, 0);
  ASSERT_NE(FirstEffect(EFFECT_PUFF), nullptr);
  EXPECT_FLOAT_EQ(FirstEffect(EFFECT_PUFF)->y, 10.0f);

  ClearMap();
  LoadMap(MapText(std::vector<std::string>(20, std::string(39, ' ') + "A")));
  players[1].shot_timer = 0;
  server_tick = 9;  // offset -3 degrees: the shot climbs towards lower y
  Fire(1, 4, 640, 640, 0);
  const TEffect* puff = FirstEffect(EFFECT_PUFF);
  ASSERT_NE(puff, nullptr);
  const float expected_y = (640.0f - std::tan(3 * 0.0174532925f) * (2560 - 640)) / 64;
  EXPECT_NEAR(puff->y, expected_y, 0.05f);
}

TEST_F(ShotTest, KnifeReachesFortyUnitsPlusTheHitBox) {
  PlaceLiving(2, 640 + 69, 640);
  Fire(1, 1, 640, 640, 0);
  ASSERT_NE(FirstEffect(EFFECT_BLOOD), nullptr);
  EXPECT_FLOAT_EQ(FirstEffect(EFFECT_BLOOD)->x, (640 + 40) / 64.0f);

  ClearMap();
  players[1].shot_timer = 0;
  PlaceLiving(2, 640 + 70, 640);  // 30 past the last point tested: strictly outside
  Fire(1, 1, 640, 640, 0);
  EXPECT_EQ(FirstEffect(EFFECT_BLOOD), nullptr);
}

TEST_F(ShotTest, TeamPlayShotsPassTeamMatesAndOnlyLivingTargetsCount) {
  team_play = 1;
  players[1].team = 2;
  PlaceLiving(2, 800, 640, 2);   // team mate in front
  PlaceLiving(3, 1200, 640, 1);  // opponent behind
  PlaceLiving(4, 1000, 640, 0);
  players[4].prev_state = PS_DEAD;  // dead before this snapshot: not hit
  Fire(1, 3, 640, 640, 0);
  const TEffect* blood = FirstEffect(EFFECT_BLOOD);
  ASSERT_NE(blood, nullptr);
  EXPECT_GT(blood->x, 1170 / 64.0f);
  EXPECT_LT(blood->x, 1200 / 64.0f);
  EXPECT_EQ(BusyEffects(EFFECT_PUFF), 0);
}

TEST_F(ShotTest, HitOnTheViewPlayerTintsInsteadOfBleeding) {
  camera = Camera{};
  PlaceLiving(20, 900, 640);
  Fire(1, 5, 640, 640, 0);
  EXPECT_EQ(FirstEffect(EFFECT_BLOOD), nullptr);
  EXPECT_EQ(camera.tint_g, 255 - 80);
  EXPECT_EQ(camera.tint_b, 255 - 80);
  EXPECT_EQ(camera.tint_r, 255);
}

TEST_F(WorldTest, ShotsLeavingTheGridStopWithoutAnEffect) {
  my_slot = view_slot = 20;
  PlaceLiving(1, 100, 100);
  players[1].state = PS_FIRING;
  players[1].gun = 5;
  players[1].dir = 180;
  ApplyPlayerUpdate(1);
  EXPECT_EQ(BusyEffects(EFFECT_PUFF) + BusyEffects(EFFECT_BLOOD), 0);
  EXPECT_EQ(ShotCell(63, 100), 2);
  EXPECT_EQ(ShotCell(4160, 100), 2);
  EXPECT_EQ(ShotCell(64, 64), 0);
}

}  // namespace
