// Loading walls, sprites and HUD pictures from files the tests write.
#include "client/presentation/assets.h"
#include "client_test.h"
#include "support/asset_names.h"

namespace {

using AssetLoading = ClientTest;

void WriteBmp(const std::string& path, int w, int h, const PixelFn& pixel, int bits = 24) {
  WriteFile(path, BmpBytes(w, h, pixel, bits));
}

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

TEST_F(AssetLoading, PalettedThirtyTwoBitAndTopDownPicturesGiveTheirColours) {
  WriteFile("sprites/wC.bmp", BmpBytes(3, 2, [](int x, int) { return uint32_t(x); }, 8, {0xFF0000, 0x00FF00, 0x0000FF}));
  WriteBmp("sprites/wD.bmp", 2, 2, [](int x, int y) { return x == 1 && y == 0 ? 0x00A0B0C0u : 0u; }, 32);
  // Rows declared top-down: the first stored row is the top one.
  Bytes top_down = BmpBytes(2, 2, [](int, int y) { return y == 0 ? 0xFF0000u : 0x0000FFu; });
  top_down[22] = top_down[23] = top_down[24] = top_down[25] = 0xFF;
  top_down[22] = 0xFE;  // height -2
  WriteFile("sprites/wE.bmp", top_down);
  LoadWallTextures();
  EXPECT_EQ(wall_textures[2].planes[0][0 * 128 + 1], 0xFF0000u);
  EXPECT_EQ(wall_textures[2].planes[0][1 * 128 + 0], 0x00FF00u);
  EXPECT_EQ(wall_textures[2].planes[0][2 * 128 + 1], 0x0000FFu);
  EXPECT_EQ(wall_textures[3].planes[0][1 * 128 + 0], 0xA0B0C0u);
  EXPECT_EQ(wall_textures[3].planes[0][1 * 128 + 1], 0u);
  EXPECT_EQ(wall_textures[4].height, 2);
  EXPECT_EQ(wall_textures[4].planes[0][0], 0x0000FFu);  // the bottom row of the bottom-up file, stored first
  EXPECT_EQ(wall_textures[4].planes[0][1], 0xFF0000u);
}

TEST_F(AssetLoading, MissingWallsAndHudPicturesAreLoggedInLoadOrderAndStandInAsOnePixel) {
  WriteBmp("sprites/wB.bmp", 4, 4, Solid(0x123456));
  wall_textures[16].planes[0][0] = 0xABCDEF;  // left over from before
  LoadWallTextures();
  EXPECT_EQ(LogCount("sprites/wQ.bmp not found!"), 1);
  EXPECT_EQ(LogCount("sprites/wB.bmp not found!"), 0);
  EXPECT_EQ(log_lines.size(), 25u);
  const WallTexture& q = wall_textures['Q' - 'A'];
  EXPECT_EQ(q.width, 1);
  EXPECT_EQ(q.height, 1);
  EXPECT_EQ(q.planes[0][0], 0u);
  EXPECT_EQ(q.planes[1][0], 0u);
  EXPECT_EQ(wall_textures[1].planes[0][3], 0x123456u);

  log_lines.clear();
  WriteBmp("sprites/hud_g2_0.bmp", 60, 50, Solid(0x0000FF));
  WriteBmp("sprites/hud_g2_1.bmp", 81, 70, Solid(0x0000FF));
  LoadHudImages();
  // Frame 1 decides the gun's position: centred, standing on the panel.
  EXPECT_EQ(gun_left[2], 160 - 81 / 2);
  EXPECT_EQ(gun_top[2], 240 - 70 - 1);
  // The panel, 4 team icons, 8 gun pictures and 5 weapon icons are missing.
  ASSERT_EQ(log_lines.size(), 18u);
  EXPECT_EQ(log_lines[0], "sprites/hudpanel.bmp not found!");
  EXPECT_EQ(log_lines[1], "sprites/hud_team_0.bmp not found!");
  EXPECT_EQ(log_lines[5], "sprites/hud_g1_0.bmp not found!");
  EXPECT_EQ(log_lines[17], "sprites/hud_w5.bmp not found!");
  EXPECT_EQ(hud_panel.height, 1);  // its top is the last row
  EXPECT_EQ(hud_team[0].width, 1);
  EXPECT_EQ(hud_team[0].pixels.size(), 1u);
  EXPECT_EQ(gun_left[1], 160);
  EXPECT_EQ(gun_top[1], 240 - 1 - 1);

  // With every file there, nothing is logged.
  log_lines.clear();
  for (const auto& list : {Lettered("w", 'A', 'Z', ".bmp"), HudNames(".bmp")})
    for (const std::string& name : list) WriteBmp("sprites/" + name, 2, 2, Solid(1));
  WriteBmp("sprites/hudpanel.bmp", 320, 40, Solid(0x303030));
  LoadWallTextures();
  LoadHudImages();
  LoadSpriteImages();
  EXPECT_TRUE(log_lines.empty());
  EXPECT_EQ(hud_panel.width, 320);
  EXPECT_EQ(hud_panel.pixels[0], 0x303030u);
  EXPECT_EQ(gun_top[2], 240 - 2 - 40);
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

TEST_F(AssetLoading, MissingSpritesRepeatThePreviousPictureOfThePassSilently) {
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

  // With only 'a' there, the second decoration is a copy of it, hang included.
  WriteBmp("sprites/da.bmp", 8, 16, [](int x, int) { return x == 0 ? 0xFF00FFu : 0x102030u; });
  LoadSpriteImages();
  EXPECT_EQ(decoration_images[1].texels[0], 0xFF00FFu);
  EXPECT_EQ(decoration_images[1].texels[5 * 64 + 1], 0x102030u);
  EXPECT_EQ(decoration_images[1].hang_offset, 180);
}

// Files that exist but are not pictures load as missing ones, without
// reading outside the file (the sanitizer build checks that); a picture of
// absurd size is refused as too large.
TEST_F(AssetLoading, MalformedPicturesLoadAsMissing) {
  const Bytes good = BmpBytes(16, 16, Solid(0x445566));
  std::vector<Bytes> broken = {{}, Bytes(good.begin(), good.begin() + 20), Bytes(good.begin(), good.begin() + 300),
                               good, good, good, good, Bytes(500, 'B')};  // empty, cut in the header or pixels, ...
  for (int i = 0; i < 4; ++i) {
    broken[3][18 + i] = broken[3][22 + i] = static_cast<uint8_t>(100000 >> (8 * i));  // 100000 x 100000 pixels
    broken[4][18 + i] = 0;                                                             // zero width
  }
  broken[5][10] = broken[5][11] = 0xFF;  // pixels said to start past the end
  broken[5][12] = 0x7F;
  broken[6][28] = 7;  // 7 bits per pixel; the last one is no picture at all
  for (size_t i = 0; i < broken.size(); ++i) {
    SCOPED_TRACE(i);
    log_lines.clear();
    WriteFile("sprites/wA.bmp", broken[i]);
    wall_textures[0].planes[0][0] = 0x999999;
    LoadWallTextures();
    const std::string why = i == 3 ? " is too large, not loaded!" : " not found!";
    EXPECT_EQ(LogCount("sprites/wA.bmp" + why), 1);
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
    EXPECT_EQ(LogCount("sprites/hudpanel.bmp" + why), 1);
  }
}

}  // namespace
