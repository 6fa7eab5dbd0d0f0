// Loading walls, sprites and HUD pictures from files the tests write.
#include <gtest/gtest.h>

#include "client/core/client_state.h"
#include "client/presentation/assets.h"
#include "present_test_util.h"

using namespace present_test;

namespace {

class AssetLoading : public ScratchDir {};

TEST_F(AssetLoading, WideWallTextureIsCutTo128ColumnsWithItsHalfBrightPlane) {
  // White on the left half, a colour gradient elsewhere, so the layout shows.
  WriteBmp("sprites/wA.bmp", 200, 50, [](int x, int y) { return x < 100 ? 0xFFFFFFu : uint32_t(x << 16 | y); });
  LoadWallTextures();
  const WallTexture& t = wall_textures[0];
  EXPECT_EQ(t.width, 128);
  EXPECT_EQ(t.height, 50);
  EXPECT_EQ(t.planes[0][0], 0xFFFFFFu);
  EXPECT_EQ(t.planes[1][0], 0x7F7F7Fu);
  // Column-major: texel (x, y) at x * 128 + y.
  EXPECT_EQ(t.planes[0][120 * 128 + 7], uint32_t(120 << 16 | 7));
  EXPECT_EQ(t.planes[1][120 * 128 + 7], uint32_t((120 >> 1) << 16 | (7 >> 1)));
  EXPECT_EQ(t.planes[1][127 * 128 + 49], uint32_t((127 >> 1) << 16 | (49 >> 1)));
}

TEST_F(AssetLoading, MissingWallTexturesAreLoggedAndBlack) {
  WriteBmp("sprites/wB.bmp", 4, 4, Solid(0x123456));
  wall_textures[16].planes[0][0] = 0xABCDEF;  // left over from before
  LoadWallTextures();
  EXPECT_EQ(CountLines("sprites/wQ.bmp not found!"), 1);
  EXPECT_EQ(CountLines("sprites/wA.bmp not found!"), 1);
  EXPECT_EQ(CountLines("sprites/wB.bmp not found!"), 0);
  EXPECT_EQ(log_lines.size(), 25u);
  const WallTexture& q = wall_textures['Q' - 'A'];
  EXPECT_EQ(q.width, 1);
  EXPECT_EQ(q.height, 1);
  EXPECT_EQ(q.planes[0][0], 0u);
  EXPECT_EQ(q.planes[1][0], 0u);
  EXPECT_EQ(wall_textures[1].planes[0][3], 0x123456u);
}

TEST_F(AssetLoading, PaletteAndThirtyTwoBitPicturesGiveTheirColours) {
  WriteFile("sprites/wC.bmp", Bmp8Bytes(3, 2, {0x00FF0000, 0x0000FF00, 0x000000FF},
                                         [](int x, int) { return static_cast<uint8_t>(x); }));
  WriteBmp("sprites/wD.bmp", 2, 2, [](int x, int y) { return x == 1 && y == 0 ? 0x00A0B0C0u : 0u; }, 32);
  LoadWallTextures();
  EXPECT_EQ(wall_textures[2].planes[0][0 * 128 + 1], 0xFF0000u);
  EXPECT_EQ(wall_textures[2].planes[0][1 * 128 + 0], 0x00FF00u);
  EXPECT_EQ(wall_textures[2].planes[0][2 * 128 + 1], 0x0000FFu);
  EXPECT_EQ(wall_textures[3].planes[0][1 * 128 + 0], 0xA0B0C0u);
  EXPECT_EQ(wall_textures[3].planes[0][1 * 128 + 1], 0u);
}

TEST_F(AssetLoading, MagentaCornerHangsThePictureFromTheCeiling) {
  SpriteImage image;
  WriteBmp("sprites/da.bmp", 16, 32, [](int x, int y) { return x == 0 && y == 0 ? 0xFF00FFu : 0x00FF00u; });
  LoadSpriteImage("sprites/da.bmp", image);
  EXPECT_EQ(image.width, 16);
  EXPECT_EQ(image.height, 32);
  EXPECT_EQ(image.hang_offset, 120);
  EXPECT_EQ(image.texels[0], 0xFF00FFu);
  EXPECT_EQ(image.texels[3 * 64 + 5], 0x00FF00u);

  WriteBmp("sprites/db.bmp", 64, 64, Solid(0xFF00FF));
  LoadSpriteImage("sprites/db.bmp", image);
  EXPECT_EQ(image.hang_offset, 0);

  WriteBmp("sprites/dc.bmp", 100, 32, Solid(0x00FFFF));  // wider than 64 is cut
  LoadSpriteImage("sprites/dc.bmp", image);
  EXPECT_EQ(image.width, 64);
  EXPECT_EQ(image.hang_offset, 0);
}

TEST_F(AssetLoading, MissingSpritesRepeatThePreviousPictureOfThePass) {
  // da.bmp missing: decoration 'a' is the blank start and draws nothing.
  WriteBmp("sprites/dc.bmp", 8, 8, Solid(0x112233));
  WriteBmp("sprites/dd.bmp", 8, 8, Solid(0x445566));
  WriteBmp("sprites/skin_0_0.bmp", 4, 4, Solid(0x778899));
  WriteBmp("sprites/it3.bmp", 2, 2, Solid(0x0A0B0C));
  LoadSpriteImages();
  EXPECT_EQ(decoration_images[0].width, 1);
  EXPECT_EQ(decoration_images[0].texels[0], 0u);
  EXPECT_EQ(decoration_images[1].width, 1);  // db missing too: a copy of 'a'
  EXPECT_EQ(decoration_images[2].texels[0], 0x112233u);
  EXPECT_EQ(decoration_images[4].texels[0], 0x445566u);  // de missing: looks like 'd'
  EXPECT_EQ(decoration_images[25].texels[0], 0x445566u);
  EXPECT_EQ(skin_images[0][0].texels[0], 0x778899u);
  EXPECT_EQ(skin_images[3][29].texels[0], 0x778899u);
  EXPECT_EQ(effect_images[2][3].texels[0], 0x778899u);
  EXPECT_EQ(item_images[2].texels[0], 0x778899u);
  EXPECT_EQ(item_images[3].texels[0], 0x0A0B0Cu);
  EXPECT_EQ(item_images[9].texels[0], 0x0A0B0Cu);
  EXPECT_TRUE(log_lines.empty());  // sprites are never reported
}

TEST_F(AssetLoading, OnlyTheSecondMissingDecorationCopiesTheFirst) {
  WriteBmp("sprites/da.bmp", 8, 16, [](int x, int) { return x == 0 ? 0xFF00FFu : 0x102030u; });
  LoadSpriteImages();
  EXPECT_EQ(decoration_images[1].texels[0], 0xFF00FFu);
  EXPECT_EQ(decoration_images[1].texels[5 * 64 + 1], 0x102030u);
  EXPECT_EQ(decoration_images[1].hang_offset, decoration_images[0].hang_offset);
  EXPECT_EQ(decoration_images[1].hang_offset, 180);
}

TEST_F(AssetLoading, HudPicturesAndGunPositions) {
  WriteBmp("sprites/hudpanel.bmp", 320, 40, Solid(0x303030));
  WriteBmp("sprites/hud_g2_0.bmp", 60, 50, Solid(0x0000FF));
  WriteBmp("sprites/hud_g2_1.bmp", 81, 70, Solid(0x0000FF));
  LoadHudImages();
  EXPECT_EQ(hud_panel.width, 320);
  EXPECT_EQ(hud_panel.height, 40);
  EXPECT_EQ(hud_panel.pixels[0], 0x303030u);
  // Frame 1 decides the position: centred, standing on the panel.
  EXPECT_EQ(gun_left[2], 160 - 81 / 2);
  EXPECT_EQ(gun_top[2], 240 - 70 - 40);
  // Missing pictures are logged and stand in as 1 x 1.
  EXPECT_EQ(CountLines("sprites/hud_team_0.bmp not found!"), 1);
  EXPECT_EQ(CountLines("sprites/hud_g1_1.bmp not found!"), 1);
  EXPECT_EQ(CountLines("sprites/hud_w5.bmp not found!"), 1);
  EXPECT_EQ(hud_team[0].width, 1);
  EXPECT_EQ(hud_team[0].pixels.size(), 1u);
  EXPECT_EQ(gun_left[1], 160);
  EXPECT_EQ(gun_top[1], 240 - 1 - 40);
  // 4 team icons + 8 gun pictures + 5 weapon icons are missing, in load order.
  ASSERT_EQ(log_lines.size(), 17u);
  EXPECT_EQ(log_lines[0], "sprites/hud_team_0.bmp not found!");
  EXPECT_EQ(log_lines[4], "sprites/hud_g1_0.bmp not found!");
  EXPECT_EQ(log_lines[16], "sprites/hud_w5.bmp not found!");
}

TEST_F(AssetLoading, MissingPanelPutsItsTopAtTheLastRow) {
  LoadHudImages();
  EXPECT_EQ(CountLines("sprites/hudpanel.bmp not found!"), 1);
  EXPECT_EQ(240 - hud_panel.height, 239);
}

TEST_F(AssetLoading, WithEveryFileThereNothingIsLogged) {
  for (char c = 'A'; c <= 'Z'; ++c) WriteBmp(std::string("sprites/w") + c + ".bmp", 2, 2, Solid(0x010101));
  WriteBmp("sprites/hudpanel.bmp", 2, 2, Solid(1));
  for (int t = 0; t < 4; ++t) WriteBmp("sprites/hud_team_" + std::to_string(t) + ".bmp", 2, 2, Solid(1));
  for (int w = 1; w <= 5; ++w) {
    WriteBmp("sprites/hud_w" + std::to_string(w) + ".bmp", 2, 2, Solid(1));
    for (int f = 0; f < 2; ++f)
      WriteBmp("sprites/hud_g" + std::to_string(w) + "_" + std::to_string(f) + ".bmp", 2, 2, Solid(1));
  }
  LoadWallTextures();
  LoadHudImages();
  LoadSpriteImages();
  EXPECT_TRUE(log_lines.empty());
}

// Files that exist but are not pictures load as missing ones, without
// reading outside the file (the sanitizer build checks that).
TEST_F(AssetLoading, MalformedPicturesLoadAsMissing) {
  const std::vector<uint8_t> good = BmpBytes(16, 16, Solid(0x445566));
  std::vector<std::vector<uint8_t>> broken;
  broken.push_back({});                                                  // empty file
  broken.push_back(std::vector<uint8_t>(good.begin(), good.begin() + 20));  // cut inside the header
  broken.push_back(std::vector<uint8_t>(good.begin(), good.begin() + 300));  // cut inside the pixels
  auto huge = good;  // claims 100000 x 100000 pixels
  for (int i = 0; i < 4; ++i) huge[18 + i] = huge[22 + i] = static_cast<uint8_t>(100000 >> (8 * i));
  broken.push_back(huge);
  auto zero = good;  // zero width
  for (int i = 0; i < 4; ++i) zero[18 + i] = 0;
  broken.push_back(zero);
  auto far_pixels = good;  // pixel data said to start past the end
  far_pixels[10] = 0xFF;
  far_pixels[11] = 0xFF;
  far_pixels[12] = 0x7F;
  broken.push_back(far_pixels);
  auto bad_depth = good;  // 7 bits per pixel
  bad_depth[28] = 7;
  broken.push_back(bad_depth);
  broken.push_back(std::vector<uint8_t>(500, 'B'));  // not a picture at all

  for (size_t i = 0; i < broken.size(); ++i) {
    SCOPED_TRACE(i);
    log_lines.clear();
    WriteFile("sprites/wA.bmp", broken[i]);
    wall_textures[0].planes[0][0] = 0x999999;
    LoadWallTextures();
    EXPECT_EQ(CountLines("sprites/wA.bmp not found!"), 1);
    EXPECT_EQ(wall_textures[0].width, 1);
    EXPECT_EQ(wall_textures[0].planes[0][0], 0u);

    SpriteImage sprite;
    sprite.texels[0] = 0x13;
    WriteFile("sprites/da.bmp", broken[i]);
    LoadSpriteImage("sprites/da.bmp", sprite);
    EXPECT_EQ(sprite.width, 1);
    EXPECT_EQ(sprite.texels[0], 0x13u);

    WriteFile("sprites/hudpanel.bmp", broken[i]);
    const HudBitmap panel = LoadHudBitmap("sprites/hudpanel.bmp");
    EXPECT_EQ(panel.width, 1);
    EXPECT_EQ(panel.height, 1);
    EXPECT_EQ(CountLines("sprites/hudpanel.bmp not found!"), 1);
  }
}

TEST_F(AssetLoading, TopDownPicturesAreReadTheRightWayUp) {
  auto bytes = BmpBytes(2, 2, [](int, int y) { return y == 0 ? 0xFF0000u : 0x0000FFu; });
  // The same rows, declared top-down: the first stored row becomes the top.
  const int32_t minus_two = -2;
  for (int i = 0; i < 4; ++i) bytes[22 + i] = static_cast<uint8_t>(static_cast<uint32_t>(minus_two) >> (8 * i));
  WriteFile("sprites/wA.bmp", bytes);
  LoadWallTextures();
  EXPECT_EQ(wall_textures[0].height, 2);
  EXPECT_EQ(wall_textures[0].planes[0][0], 0x0000FFu);  // stored first: the bottom row of the bottom-up file
  EXPECT_EQ(wall_textures[0].planes[0][1], 0xFF0000u);
}

}  // namespace
