// What the player sees: the renderer drawing into the real view surface.

#include <cmath>
#include <cstring>
#include <vector>

#include "client/core/world.h"
#include "client/presentation/assets.h"
#include "client/presentation/renderer.h"
#include "client_test.h"

namespace {

constexpr uint32_t CEILING = 0x203040;
constexpr uint32_t FLOOR = 0x506070;

void SolidTexture(char letter, uint32_t colour, int w = 64, int h = 64) {
  WallTexture& t = wall_textures[letter - 'A'];
  t.width = static_cast<uint8_t>(w);
  t.height = static_cast<uint8_t>(h);
  for (int i = 0; i < 128 * 128; ++i) {
    t.planes[0][i] = colour;
    t.planes[1][i] = (colour >> 1) & 0x7F7F7F;
  }
}

// A texture whose texel (x, y) encodes its own coordinates.
void CoordinateTexture(char letter, int w, int h) {
  WallTexture& t = wall_textures[letter - 'A'];
  t.width = static_cast<uint8_t>(w);
  t.height = static_cast<uint8_t>(h);
  for (int x = 0; x < 128; ++x)
    for (int y = 0; y < 128; ++y) {
      t.planes[0][x * 128 + y] = 0x800000u | uint32_t(x) << 8 | uint32_t(y);
      t.planes[1][x * 128 + y] = (t.planes[0][x * 128 + y] >> 1) & 0x7F7F7F;
    }
}

SpriteImage SolidSprite(uint32_t colour, int w = 64, int h = 64, uint32_t corner = 0x000001) {
  SpriteImage s{};
  s.width = static_cast<uint8_t>(w);
  s.height = static_cast<uint8_t>(h);
  for (auto& t : s.texels) t = colour;
  s.texels[0] = corner;  // the transparent colour, in the corner only
  return s;
}

uint32_t Pixel(int c, int r) { return view_surface[r * VIEW_W + c]; }

// A rectangle of wall cells with the given letter, or only its outline; inclusive.
void WallBlock(int x0, int y0, int x1, int y1, char letter, bool outline = false) {
  for (int x = x0; x <= x1; ++x)
    for (int y = y0; y <= y1; ++y)
      if (!outline || x == x0 || x == x1 || y == y0 || y == y1) map_grid[x][y] = letter;
}

class Renderer : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    CreateViewSurface();
    ceiling_colour = CEILING;
    floor_colour = FLOOR;
    WallBlock(1, 1, 64, 64, ' ');  // every cell open, the outer ring stays the boundary
  }
  // Camera at (x, y) in cells looking along (dx, dy), eye at 165, no tint.
  void Look(float x, float y, float dx, float dy) {
    camera.pos_x = x;
    camera.pos_y = y;
    camera.dir_x = dx;
    camera.dir_y = dy;
    camera.eye_height = 165;
  }
  std::vector<uint32_t> Surface() const { return std::vector<uint32_t>(view_surface, view_surface + VIEW_W * VIEW_H); }
};

class RendererBothPaths : public Renderer, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    Renderer::SetUp();
    if (UseVectorRenderer(GetParam()) != GetParam()) GTEST_SKIP() << "no AVX2 on this processor";
  }
  void TearDown() override {
    UseVectorRenderer(true);
    Renderer::TearDown();
  }
};

TEST_P(RendererBothPaths, BoundaryColumnsShowCeilingToRow150AndFloorFrom151) {
  Look(32.5f, 32.5f, 1, 0);
  CastWalls();
  for (int c = 0; c < VIEW_W; c += 7) {
    EXPECT_EQ(Pixel(c, 150), CEILING) << c;
    EXPECT_EQ(Pixel(c, 151), FLOOR) << c;
    EXPECT_EQ(Pixel(c, 299), FLOOR) << c;
  }
  EXPECT_EQ(Pixel(200, 0), CEILING);
  // The boundary ring at x = 65 lies 32.5 cells ahead.
  EXPECT_EQ(ViewDepth(200, 300), 3250);
  EXPECT_EQ(ViewDepth(200, 0), 3250);
  EXPECT_EQ(ViewDepth(200, 299), 3250);
  // Something beyond the ring stays hidden.
  const SpriteImage sprite = SolidSprite(0xFF0000);
  DrawBillboard(0, sprite, false, 66.0f, 32.5f);
  EXPECT_EQ(Pixel(200, 140), CEILING);
}

TEST_P(RendererBothPaths, WallAtDistanceOneCoversTheRowsTheFormulaGives) {
  SolidTexture('A', 0x00C000);
  WallBlock(11, 1, 11, 64, 'A');
  Look(10.0f, 10.5f, 1, 0);  // the wall face at x = 11 is one cell ahead of every column
  CastWalls();
  // lift = trunc(165 * 1.25) = 206, line height 300: rows 56..299 are wall.
  for (int c : {0, 57, 200, 399}) {
    EXPECT_EQ(Pixel(c, 55), CEILING) << c;
    EXPECT_EQ(Pixel(c, 56), 0x00C000u) << c;
    EXPECT_EQ(Pixel(c, 299), 0x00C000u) << c;
    EXPECT_EQ(ViewDepth(c, 300), 100) << c;
  }
  // Two cells away: lift 103, line height 150, wall rows 103..253.
  Look(9.0f, 10.5f, 1, 0);
  CastWalls();
  EXPECT_EQ(Pixel(200, 102), CEILING);
  EXPECT_EQ(Pixel(200, 103), 0x00C000u);
  EXPECT_EQ(Pixel(200, 253), 0x00C000u);
  EXPECT_EQ(Pixel(200, 254), FLOOR);
  EXPECT_EQ(ViewDepth(200, 300), 200);
  // Closer than a thousandth: the whole column.
  Look(10.99999f, 10.5f, 1, 0);
  CastWalls();
  for (int r : {0, 150, 299}) EXPECT_EQ(Pixel(200, r), 0x00C000u) << r;
  EXPECT_EQ(ViewDepth(200, 300), 0);
}

TEST_P(RendererBothPaths, CameraInsideAWallStillSeesTheRoomWhoseFacesAlongYAreHalfBright) {
  SolidTexture('A', 0xFFFFFF);
  SolidTexture('B', 0xC00000);
  WallBlock(5, 5, 15, 15, 'A', true);
  Look(10.5f, 10.5f, 1, 0);
  CastWalls();
  const std::vector<uint32_t> open_room = Surface();

  map_grid[10][10] = 'B';
  CastWalls();
  EXPECT_EQ(map_grid[10][10], 'B');  // the cell is unchanged afterwards
  EXPECT_EQ(Surface(), open_room);
  EXPECT_EQ(Pixel(200, 150), 0xFFFFFFu);  // the far wall of the room (an x face), not the camera's own cell
  EXPECT_EQ(ViewDepth(200, 300), 450);
  Look(10.5f, 10.5f, 0, 1);  // looking at a y face
  CastWalls();
  EXPECT_EQ(Pixel(200, 150), 0x7F7F7Fu);
}

TEST_P(RendererBothPaths, BillboardBehindAWallDrawsNothing) {
  SolidTexture('A', 0x00C000);
  WallBlock(14, 1, 14, 64, 'A');
  Look(10.5f, 10.5f, 1, 0);
  CastWalls();
  const std::vector<uint32_t> walls = Surface();
  const SpriteImage red = SolidSprite(0xFF0000);
  DrawBillboard(0, red, false, 16.5f, 10.5f);  // beyond the farthest wall
  DrawBillboard(0, red, false, 10.505f, 10.5f);  // closer than 0.01
  DrawBillboard(0, red, false, 8.5f, 10.5f);   // behind the camera
  EXPECT_EQ(Surface(), walls);
  // In front of the wall it shows, standing on the floor.
  DrawBillboard(0, red, false, 12.5f, 10.5f);
  EXPECT_EQ(Pixel(200, 200), 0xFF0000u);
  EXPECT_EQ(ViewDepth(200, 200), 200);
  EXPECT_EQ(ViewDepth(200, 300), 350);  // the wall's depth stays
}

TEST_P(RendererBothPaths, NearerBillboardWinsWhateverTheOrder) {
  const SpriteImage red = SolidSprite(0xFF0000), blue = SolidSprite(0x0000FF);
  for (bool near_first : {false, true}) {
    Look(10.5f, 10.5f, 1, 0);
    CastWalls();
    if (near_first) DrawBillboard(0, blue, false, 12.5f, 10.5f);
    DrawBillboard(0, red, false, 14.5f, 10.5f);
    if (!near_first) DrawBillboard(0, blue, false, 12.5f, 10.5f);
    EXPECT_EQ(Pixel(200, 200), 0x0000FFu) << near_first;
    EXPECT_EQ(ViewDepth(200, 200), 200);
  }
  // At the same depth the first one drawn keeps its pixels.
  CastWalls();
  DrawBillboard(0, red, false, 12.5f, 10.5f);
  DrawBillboard(0, blue, false, 12.5f, 10.5f);
  EXPECT_EQ(Pixel(200, 200), 0xFF0000u);
}

TEST_P(RendererBothPaths, TintKeepsOnlyTheBitsOfItsChannelValues) {
  CoordinateTexture('A', 128, 128);
  WallBlock(5, 5, 15, 15, 'A', true);
  Look(7.5f, 9.5f, 0.8f, 0.6f);
  CastWalls();
  ApplyScreenTint();
  std::vector<uint32_t> plain = Surface();
  EXPECT_EQ(plain[0], 0u);  // untinted: only the top-left pixel turns black
  plain[0] = Pixel(1, 0);

  camera.tint_r = 129;  // 0x81
  camera.tint_g = 255;
  camera.tint_b = 131;  // 0x83
  CastWalls();
  ApplyScreenTint();
  for (int i = 0; i < VIEW_W * VIEW_H; ++i) {
    const uint32_t expected = plain[i] & 0x81FF83;
    if (view_surface[i] != expected) {
      ADD_FAILURE() << "pixel " << i << std::hex << " " << view_surface[i] << " expected " << expected;
      break;
    }
  }
  EXPECT_NE(view_surface[0], 0u);
}

INSTANTIATE_TEST_SUITE_P(Paths, RendererBothPaths, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Vector" : "Portable"; });

// ---------------------------------------------------------------- camera

class CameraAndFrame : public Renderer {};

TEST_F(CameraAndFrame, FollowsTheLocalPlayerOrTheFollowedOne) {
  players[1].state = PS_ALIVE;
  local_x = 640;
  local_y = 672;
  view_angle = 90.7f;
  SettleView();
  SetupCamera();
  EXPECT_EQ(view_slot, 1);
  EXPECT_FLOAT_EQ(camera.pos_x, 10.0f);
  EXPECT_FLOAT_EQ(camera.pos_y, 10.5f);
  EXPECT_EQ(net_angle, 90);
  EXPECT_NEAR(camera.dir_x, 0.0f, 1e-6);
  EXPECT_NEAR(camera.dir_y, 1.0f, 1e-6);
  EXPECT_EQ(camera.eye_height, 165);
  // While dead the angle is not refreshed.
  health = 0;
  view_angle = 200;
  SettleView();
  SetupCamera();
  EXPECT_EQ(net_angle, 90);
  // A spectator follows a living player until that one leaves.
  players[1].state = PS_SPECTATOR;
  players[5].state = PS_ALIVE;
  view_slot = 5;
  SettleView();
  SetupCamera();
  EXPECT_EQ(view_slot, 5);
  players[5].state = PS_NONE;
  SettleView();
  SetupCamera();
  EXPECT_EQ(view_slot, 1);
}

TEST_F(CameraAndFrame, EyeSinksAndViewTurnsRedAfterDeathThenRecovers) {
  players[1].state = PS_ALIVE;
  SettleView();
  SetupCamera();
  EXPECT_EQ(camera.eye_height, 165);
  players[1].prev_state = PS_ALIVE;
  players[1].state = PS_DEAD;
  health = 0;
  std::vector<int> eyes;
  for (int i = 0; i < 70; ++i) {
    SettleView();
    SetupCamera();
    eyes.push_back(camera.eye_height);
  }
  EXPECT_EQ(eyes[0], 159);
  EXPECT_EQ(eyes[1], 153);
  EXPECT_EQ(eyes.back(), 20);
  EXPECT_EQ(camera.tint_r, 255);
  EXPECT_EQ(camera.tint_g, 131);
  EXPECT_EQ(camera.tint_b, 131);

  // Respawned: eye back up, the tint reset at once.
  players[1].prev_state = PS_DEAD;
  players[1].state = PS_ALIVE;
  health = 100;
  SettleView();
  SetupCamera();
  EXPECT_EQ(camera.eye_height, 165);
  EXPECT_EQ(camera.tint_g, 255);

  // A flash fades by two a frame, never below 129.
  players[1].prev_state = PS_ALIVE;
  StartTintFlash(200, 10, 0);
  EXPECT_EQ(camera.tint_r, 129);
  EXPECT_EQ(camera.tint_g, 245);
  SettleView();
  SetupCamera();
  EXPECT_EQ(camera.tint_r, 131);
  EXPECT_EQ(camera.tint_g, 247);
  EXPECT_EQ(camera.tint_b, 255);
}

TEST_F(CameraAndFrame, MenuShowsARedScreenInsteadOfTheViewAndNoPicturesAWhiteOverlay) {
  menu_open = true;
  std::memset(view_surface, 0x11, sizeof view_surface);
  RenderFrame();
  for (int i = 0; i < HUD_W * HUD_H; i += 97) ASSERT_EQ(hud_overlay[i], 0xC80000u);
  EXPECT_EQ(view_surface[5000], 0x11111111u);  // the view is not drawn
  menu_open = false;
  players[1].state = PS_SPECTATOR;
  local_x = local_y = 32 * 64 + 32;
  RenderFrame();
  for (int i = 0; i < HUD_W * HUD_H; i += 101) ASSERT_EQ(hud_overlay[i], 0xFFFFFFu);
  EXPECT_EQ(Pixel(200, 10), CEILING);
  EXPECT_EQ(Pixel(200, 290), FLOOR);
  EXPECT_EQ(Pixel(0, 0), 0u);
}

// Decorations always, items only while present, effects while running with
// their own value as hang offset, and the blank start image never.
TEST_F(CameraAndFrame, FrameDrawsWhatTheWorldHolds) {
  menu_open = false;
  players[1].state = PS_ALIVE;
  local_x = 10 * 64 + 32;
  local_y = 10 * 64 + 32;
  decoration_images[2] = SolidSprite(0x00AA00);
  item_images[5] = SolidSprite(0x0000AA);
  effect_images[EFFECT_PUFF][1] = SolidSprite(0xAA00AA, 64, 16);
  decoration_images[0] = SpriteImage{};  // a blank 1 x 1 image: nothing to draw
  decorations[1] = TMapObject{12.5f, 10.5f, 'c'};
  decorations[2] = TMapObject{11.5f, 10.5f, 'a'};
  RenderFrame();
  EXPECT_EQ(Pixel(200, 200), 0x00AA00u);

  map_items[7] = TMapItem{'5', 0, 11.5f, 10.5f};
  RenderFrame();
  EXPECT_EQ(Pixel(200, 200), 0x00AA00u);  // not present: not drawn
  map_items[7].present = 1;
  RenderFrame();
  EXPECT_EQ(Pixel(200, 200), 0x0000AAu);

  // A puff half a cell ahead with value 200 as its hang offset: high up.
  effects[3] = TEffect{11.0f, 10.5f, 1, EFFECT_PUFF, 200};
  RenderFrame();
  // lift trunc((165 - 200) / 0.5 * 1.25) = -87: its lowest row is 62.
  EXPECT_EQ(Pixel(200, 30), 0xAA00AAu);
  EXPECT_EQ(Pixel(200, 62), 0xAA00AAu);
  EXPECT_NE(Pixel(200, 63), 0xAA00AAu);
  effects[3].frame = 4;  // free
  RenderFrame();
  EXPECT_NE(Pixel(200, 30), 0xAA00AAu);
}

}  // namespace
