// Pictures and sounds loaded once at start-up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/weapons.h"

struct WallTexture {
  uint8_t width = 1, height = 1;      // 1..128
  uint32_t planes[2][128 * 128];      // column-major: texel (x, y) at x*128 + y; plane 1 is half bright
};

struct SpriteImage {
  uint32_t texels[64 * 64];           // column-major: texel (x, y) at x*64 + y
  uint8_t width = 1, height = 1;      // 1..64
  uint8_t hang_offset = 0;
};

// A picture drawn unscaled onto the HUD overlay.
struct HudBitmap {
  int width = 1, height = 1;
  std::vector<uint32_t> pixels;       // row-major, 0x00RRGGBB
};

extern WallTexture wall_textures[26];          // 'A'..'Z'
extern SpriteImage decoration_images[26];      // 'a'..'z'
extern SpriteImage item_images[10];            // '0'..'9'
extern SpriteImage skin_images[4][30];         // team, frame
extern SpriteImage effect_images[3][4];        // kind, frame
extern HudBitmap hud_panel;
extern HudBitmap hud_team[4];
extern HudBitmap hud_weapon[NUM_WEAPONS + 1];  // 1..NUM_WEAPONS
extern HudBitmap hud_gun[NUM_WEAPONS + 1][2];  // weapon, frame 0..1
extern int gun_left[NUM_WEAPONS + 1], gun_top[NUM_WEAPONS + 1];  // per weapon, from its pictures

// Decodes BMP data into 0x00RRGGBB pixels, row-major, top row first; false
// when it cannot be decoded. A picture whose header promises more than
// 1024 x 1024 pixels (or 4096 on a side) is refused before it is decoded:
// a few bytes of run-length data can stand for a picture of gigabytes.
bool DecodeBmp(const uint8_t* data, size_t size, std::vector<uint32_t>& pixels, int& width, int& height);

enum class PictureLoad : uint8_t { Loaded, Missing, TooLarge };
// Reads and decodes a picture file. All the pictures of a start-up share
// one budget of decoded pixels (8 M, 32 MB); a picture that would pass it,
// or is too large on its own, is refused. Missing covers files that cannot
// be read or decoded.
PictureLoad LoadPicture(const std::string& path, std::vector<uint32_t>& pixels, int& width, int& height);
// The whole budget again; start-up calls it before the first picture.
void ResetPictureBudget();

void LoadWallTextures();
void LoadSpriteImage(const std::string& path, SpriteImage& record);
HudBitmap LoadHudBitmap(const std::string& path);
// The HUD pictures and then every sprite image, in start-up order.
void LoadHudImages();
void LoadSpriteImages();

struct WavData {
  uint16_t channels = 0;
  uint32_t sample_rate = 0;
  uint16_t bits = 0;
  std::vector<uint8_t> samples;
};
// Reads an 8- or 16-bit PCM WAV file; false when the file is missing, cut
// short, lies about its chunk lengths or holds another format.
bool ReadWavFile(const std::string& path, WavData& out);
bool ParseWav(const uint8_t* data, size_t size, WavData& out);
