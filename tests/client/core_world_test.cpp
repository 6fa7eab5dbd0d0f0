// The client's map model, prediction and reconciliation, and shot traces.
#include <cmath>

#include "client/core/world.h"
#include "client/presentation/renderer.h"
#include "client_test.h"

namespace {

class WorldTest : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    view_slot = my_slot = 20;
    camera = Camera{};
  }
  // A living player as the previous snapshot left it.
  static void PlaceLiving(uint8_t slot, uint16_t x, uint16_t y, uint8_t team = 0) {
    players[slot].x = x;
    players[slot].y = y;
    players[slot].team = team;
    players[slot].state = players[slot].prev_state = PS_ALIVE;
  }
  // A snapshot entry showing the player firing.
  static void Fire(uint8_t slot, uint8_t gun, uint16_t x, uint16_t y, uint16_t dir) {
    PlaceLiving(slot, x, y, players[slot].team);
    players[slot].state = PS_FIRING;
    players[slot].gun = gun;
    players[slot].dir = dir;
    players[slot].shot_timer = 0;
    ApplyPlayerUpdate(slot);
  }
  static const TEffect* Effect(uint8_t kind) {
    for (const TEffect& e : effects) {
      if (e.frame < 4 && e.kind == kind) return &e;
    }
    return nullptr;
  }
  static const std::vector<std::string> WallColumn40() {
    return std::vector<std::string>(20, std::string(39, ' ') + "A");
  }
};

TEST_F(WorldTest, MapTextGivesColoursGridDecorationsAndNumberedItems) {
  std::string long_row(70, 'B');
  long_row[63] = 'C';
  // Row 1: wall, obstacle, item, passable decoration, spawn, item, line feed.
  LoadMap(MapText({"Ae1b@9\n", long_row, "[c"}, "123x56"));
  EXPECT_EQ(ceiling_colour, (28u << 16) | (56u << 8) | 84u);
  EXPECT_EQ(floor_colour, (140u << 8) | 168u);  // 'x' is no digit
  EXPECT_EQ(std::string(&map_grid[1][1], 1) + map_grid[2][1] + map_grid[3][1] + map_grid[4][1], "Ae  ");
  EXPECT_EQ(map_grid[7][1], ' ');  // a line feed is one open cell
  EXPECT_EQ(map_grid[64][2], 'C');
  EXPECT_EQ(map_grid[65][2], '[');  // columns past 64 are dropped
  EXPECT_EQ(map_grid[1][3], '[');
  EXPECT_EQ(decorations[1].kind, 'e');
  EXPECT_FLOAT_EQ(decorations[1].x, 2.5f);
  EXPECT_EQ(decorations[3].kind, 'c');
  EXPECT_FLOAT_EQ(decorations[3].y, 3.5f);
  EXPECT_EQ(map_items[1].kind, '1');
  EXPECT_EQ(map_items[2].kind, '9');
  EXPECT_FLOAT_EQ(map_items[2].x, 6.5f);
  EXPECT_EQ(map_items[3].kind, '1');  // ClearMap's filler
  EXPECT_FLOAT_EQ(map_items[3].x, 0.0f);

  std::string items(64, '5');
  std::vector<std::string> rows = {items, items, items};
  for (int r = 4; r <= 66; ++r) rows.push_back("E");
  LoadMap(MapText(rows));
  EXPECT_FLOAT_EQ(map_items[128].y, 2.5f);  // 128 items at most
  EXPECT_EQ(map_grid[1][64], 'E');
  EXPECT_EQ(map_grid[1][65], '[');  // rows past 64 are dropped

  LoadMap("12");  // shorter than its header
  EXPECT_EQ(floor_colour, 0u);
  EXPECT_EQ(map_grid[1][1], ' ');
  EXPECT_EQ(map_items[1].kind, '1');
}

TEST_F(WorldTest, EffectsAreDroppedWhenAllAreBusy) {
  for (int i = 0; i < MAX_EFFECTS; ++i) AddEffect(1, EFFECT_BLOOD, 1, 1);
  AddEffect(2, EFFECT_PUFF, 2, 2);
  EXPECT_EQ(Effect(EFFECT_PUFF), nullptr);
  effects[10].frame = 4;
  AddEffect(2, EFFECT_PUFF, 2, 2);
  EXPECT_EQ(Effect(EFFECT_PUFF), &effects[10]);
}

TEST_F(WorldTest, MovementGoesElevenUnitsInEightDirectionsAndSlidesAlongWalls) {
  LoadMap(MapText({"", "", "", "", "     A"}));  // one wall cell: column 6, row 5
  my_slot = view_slot = 1;
  players[1].state = PS_ALIVE;
  local_x = local_y = 1000;
  const struct {
    std::initializer_list<uint8_t> keys;
    int dx, dy;
  } moves[] = {{{'W'}, 11, 0}, {{'W', 'S'}, 0, 0}, {{'W', 'A'}, 7, -7}, {{'W', 'A', 'S', 'D'}, 0, 0},
               {{'S', 'D'}, -7, 7}, {{'A', 'D'}, 0, 0}};
  for (const auto& m : moves) {
    std::fill(std::begin(key_state), std::end(key_state), 0);
    for (uint8_t k : m.keys) key_state[k] = 5;
    const int x = local_x, y = local_y;
    MoveLocal();
    EXPECT_EQ(local_x - x, m.dx);
    EXPECT_EQ(local_y - y, m.dy);
    EXPECT_EQ(history_x[HISTORY_LEN - 1], local_x);  // pushed also when standing
  }

  // Diagonally into the wall at x 384: x stops 16 short, y goes on.
  std::fill(std::begin(key_state), std::end(key_state), 0);
  key_state[uint8_t{'W'}] = 5;
  local_x = 360;
  local_y = 5 * 64 + 20;
  net_angle = 45;
  MoveLocal();
  MoveLocal();
  EXPECT_EQ(local_x, 367);
  EXPECT_EQ(local_y, 5 * 64 + 34);

  players[1].state = PS_SPECTATOR;  // spectators fly through walls
  net_angle = 0;
  for (int i = 0; i < 10; ++i) MoveLocal();
  EXPECT_EQ(local_x, 477);
  EXPECT_FALSE(IsFree(10, 1000));  // probes outside the grid read as border
  EXPECT_FALSE(IsFree(65530, 65530));
}

TEST_F(WorldTest, ServerPositionFromTheLast40PredictionsStandsOthersSnap) {
  my_slot = view_slot = 1;
  players[1].prev_state = players[1].state = PS_ALIVE;
  for (uint16_t i = 0; i < 45; ++i) PushHistory(static_cast<uint16_t>(1000 + i), 500);
  local_x = 1044;
  local_y = 500;
  players[1].x = 1005;  // predicted 40 frames ago: confirmed
  players[1].y = 500;
  ApplyPlayerUpdate(1);
  EXPECT_EQ(local_x, 1044);
  players[1].x = 1004;  // 41 frames ago: forgotten, the server wins
  ApplyPlayerUpdate(1);
  EXPECT_EQ(local_x, 1004);
  EXPECT_FALSE(InHistory(1044, 500));
  EXPECT_TRUE(InHistory(1004, 500));
}

TEST_F(WorldTest, SpawnPlacesTheOwnPlayerAndFollowingCopiesTheViewPlayer) {
  my_slot = 3;
  view_slot = 7;
  players[3].prev_state = PS_DEAD;
  players[3].state = PS_ALIVE;
  players[3].x = 5000;
  players[3].y = 10;
  players[3].gun = 5;
  ApplyPlayerUpdate(3);
  EXPECT_EQ(players[3].gun, 2);
  EXPECT_EQ(players[3].x, 4159);
  EXPECT_FLOAT_EQ(players[3].fy, 65 / 64.0f);
  EXPECT_EQ(view_slot, 3);
  EXPECT_EQ(local_x, 4159);
  ASSERT_NE(Effect(EFFECT_SPAWN), nullptr);

  players[3].state = PS_SPECTATOR;
  view_slot = 4;
  PlaceLiving(4, 800, 900);
  players[4].dir = 123;
  ApplyPlayerUpdate(4);
  EXPECT_EQ(local_x, 800);
  EXPECT_EQ(local_y, 900);
  EXPECT_FLOAT_EQ(view_angle, 123.0f);
}

TEST_F(WorldTest, ShotsPuffInFrontOfWallsAndFollowTheServerTickSpread) {
  LoadMap(MapText(WallColumn40()));
  frame_counter = 7;
  Fire(1, 2, 640, 640, 0);
  EXPECT_EQ(players[1].shot_timer, 18);
  EXPECT_EQ(players[1].fire_pose, 6);
  const TEffect* puff = Effect(EFFECT_PUFF);
  ASSERT_NE(puff, nullptr);
  EXPECT_EQ(puff->value, 109);
  EXPECT_FLOAT_EQ(puff->x, (2560 - 10) / 64.0f);  // one step before the wall cell
  EXPECT_FLOAT_EQ(puff->y, 10.0f);
  players[1].shot_timer = 5;  // a snapshot while the timer runs traces nothing
  players[1].state = PS_FIRING;
  LoadMap(MapText(WallColumn40()));
  ApplyPlayerUpdate(1);
  EXPECT_EQ(Effect(EFFECT_PUFF), nullptr);

  server_tick = 9;  // chaingun: (9 mod 8) - 4 = -3 degrees
  Fire(1, 4, 640, 640, 0);
  ASSERT_NE(Effect(EFFECT_PUFF), nullptr);
  EXPECT_NEAR(Effect(EFFECT_PUFF)->y, (640 - std::tan(3 * 0.0174532925f) * 1920) / 64, 0.05f);

  LoadMap(MapText({}));
  Fire(1, 5, 100, 100, 180);  // out over the map edge: no effect
  EXPECT_EQ(Effect(EFFECT_PUFF), nullptr);
}

TEST_F(WorldTest, KnifeReachesFortyUnitsPlusTheStrictHitBox) {
  PlaceLiving(2, 640 + 69, 640);
  Fire(1, 1, 640, 640, 0);
  ASSERT_NE(Effect(EFFECT_BLOOD), nullptr);
  EXPECT_FLOAT_EQ(Effect(EFFECT_BLOOD)->x, (640 + 40) / 64.0f);
  ClearMap();
  PlaceLiving(2, 640 + 70, 640);
  Fire(1, 1, 640, 640, 0);
  EXPECT_EQ(Effect(EFFECT_BLOOD), nullptr);
}

TEST_F(WorldTest, TeamShotsPassTeamMatesAndTheDeadAndTintTheViewPlayer) {
  team_play = 1;
  players[1].team = 2;
  PlaceLiving(2, 800, 640, 2);   // team mate
  PlaceLiving(4, 1000, 640, 0);  // dead before this snapshot
  players[4].prev_state = PS_DEAD;
  PlaceLiving(3, 1200, 640, 1);  // the first opponent
  Fire(1, 3, 640, 640, 0);
  ASSERT_NE(Effect(EFFECT_BLOOD), nullptr);
  EXPECT_FLOAT_EQ(Effect(EFFECT_BLOOD)->x, 1180 / 64.0f);

  ClearMap();
  PlaceLiving(20, 900, 640, 0);  // the view player is hit: a tint, no blood
  Fire(1, 5, 640, 640, 0);
  EXPECT_EQ(Effect(EFFECT_BLOOD), nullptr);
  EXPECT_EQ(camera.tint_r, 255);
  EXPECT_EQ(camera.tint_g, 255 - 80);
}

}  // namespace
