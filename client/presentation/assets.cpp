// Pictures for walls, billboards and the HUD, read once at start-up.
#include "client/presentation/assets.h"

#include "client/core/event_log.h"
#include <SDL.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>


WallTexture wall_textures[26];
SpriteImage decoration_images[26];
SpriteImage item_images[10];
SpriteImage skin_images[4][30];
SpriteImage effect_images[3][4];
HudBitmap hud_panel;
HudBitmap hud_team[4];
HudBitmap hud_weapon[NUM_WEAPONS + 1];
HudBitmap hud_gun[NUM_WEAPONS + 1][2];
int gun_left[NUM_WEAPONS + 1], gun_top[NUM_WEAPONS + 1];

namespace {

// Our pictures are small (walls 128 x 128, the HUD 320 x 240 at most);
// anything larger is a broken or hostile header, and refusing it keeps SDL
// from allocating a surface of absurd size.
constexpr int32_t MAX_BMP_SIDE = 4096;
constexpr int64_t MAX_BMP_PIXELS = 1 << 20;
constexpr std::streamoff MAX_BMP_FILE = 8 << 20;  // 1024 x 1024 at 32 bits, with room to spare
constexpr int64_t PICTURE_BUDGET_PIXELS = 8 << 20;
constexpr uint32_t MAGENTA = 0xFF00FF;
constexpr uint32_t HUD_MISSING_COLOUR = 0xFFFFFF;  // white: invisible on the overlay

int64_t picture_budget_left = PICTURE_BUDGET_PIXELS;

uint32_t ReadLe32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// The picture size the BMP header gives, in pixels (a side past 4096 counts
// as too many); 0 when the data is no BMP header or names no picture.
int64_t BmpHeaderPixels(const uint8_t* data, size_t size) {
  if (!data || size < 26 || data[0] != 'B' || data[1] != 'M') return 0;
  const uint32_t info_size = ReadLe32(data + 14);
  int64_t width, height;
  if (info_size == 12) {
    width = ReadLe16(data + 18);
    height = ReadLe16(data + 20);
  } else {
    width = static_cast<int32_t>(ReadLe32(data + 18));
    height = static_cast<int32_t>(ReadLe32(data + 22));
  }
  if (width <= 0 || height == 0) return 0;
  if (height < 0) height = -height;
  if (width > MAX_BMP_SIDE || height > MAX_BMP_SIDE) return MAX_BMP_PIXELS + 1;
  return width * height;
}

// Checks the BMP header's picture size before SDL sees the file.
bool PlausibleBmpHeader(const uint8_t* data, size_t size) {
  const int64_t pixels = BmpHeaderPixels(data, size);
  return size <= static_cast<size_t>(MAX_BMP_FILE) && pixels > 0 && pixels <= MAX_BMP_PIXELS;
}

PictureLoad ReadWholeFile(const std::string& path, std::streamoff limit, std::vector<uint8_t>& bytes) {
  // Only a plain file: opening a FIFO would wait for a writer for ever.
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return PictureLoad::Missing;
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return PictureLoad::Missing;
  const std::streamoff size = file.tellg();
  if (size < 0) return PictureLoad::Missing;
  if (size > limit) return PictureLoad::TooLarge;
  bytes.resize(static_cast<size_t>(size));
  file.seekg(0);
  return file.read(reinterpret_cast<char*>(bytes.data()), size) ? PictureLoad::Loaded : PictureLoad::Missing;
}

std::string SpritePath(const std::string& name) { return "sprites/" + name + ".bmp"; }

// Tells the event log what became of a picture that did not load: a missing
// one only where missing pictures are reported, a refused one always.
bool LoadedOrLogged(PictureLoad result, const std::string& path, bool report_missing) {
  if (result == PictureLoad::TooLarge) LogLine(path + " is too large, not loaded!");
  if (result == PictureLoad::Missing && report_missing) LogLine(path + " not found!");
  return result == PictureLoad::Loaded;
}

}  // namespace

bool DecodeBmp(const uint8_t* data, size_t size, std::vector<uint32_t>& pixels, int& width, int& height) {
  if (!PlausibleBmpHeader(data, size)) return false;
  SDL_RWops* rw = SDL_RWFromConstMem(data, static_cast<int>(size));
  if (!rw) return false;
  SDL_Surface* loaded = SDL_LoadBMP_RW(rw, 1);
  if (!loaded) return false;
  SDL_Surface* rgb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB888, 0);
  SDL_FreeSurface(loaded);
  if (!rgb) return false;
  width = rgb->w;
  height = rgb->h;
  pixels.resize(static_cast<size_t>(width) * height);
  SDL_LockSurface(rgb);
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const uint8_t*>(rgb->pixels) + static_cast<size_t>(y) * rgb->pitch;
    for (int x = 0; x < width; ++x) {
      uint32_t value;
      std::memcpy(&value, row + 4 * x, 4);
      pixels[static_cast<size_t>(y) * width + x] = value & 0xFFFFFF;
    }
  }
  SDL_UnlockSurface(rgb);
  SDL_FreeSurface(rgb);
  return width > 0 && height > 0;
}

PictureLoad LoadPicture(const std::string& path, std::vector<uint32_t>& pixels, int& width, int& height) {
  std::vector<uint8_t> bytes;
  const PictureLoad read = ReadWholeFile(path, MAX_BMP_FILE, bytes);
  if (read != PictureLoad::Loaded) return read;
  const int64_t size = BmpHeaderPixels(bytes.data(), bytes.size());
  if (size == 0) return PictureLoad::Missing;
  if (size > MAX_BMP_PIXELS || size > picture_budget_left) return PictureLoad::TooLarge;
  picture_budget_left -= size;
  return DecodeBmp(bytes.data(), bytes.size(), pixels, width, height) ? PictureLoad::Loaded : PictureLoad::Missing;
}

void ResetPictureBudget() { picture_budget_left = PICTURE_BUDGET_PIXELS; }

static void LoadWallTexture(int index, std::vector<uint32_t>& pixels) {
  WallTexture& texture = wall_textures[index];
  texture.width = texture.height = 1;
  texture.planes[0][0] = texture.planes[1][0] = 0;  // black when the file is missing
  const std::string path = SpritePath(std::string("w") + static_cast<char>('A' + index));
  int width, height;
  if (!LoadedOrLogged(LoadPicture(path, pixels, width, height), path, true)) return;
  texture.width = static_cast<uint8_t>(std::min(width, 128));
  texture.height = static_cast<uint8_t>(std::min(height, 128));
  for (int x = 0; x < texture.width; ++x) {
    for (int y = 0; y < texture.height; ++y) {
      const uint32_t colour = pixels[static_cast<size_t>(y) * width + x];
      texture.planes[0][x * 128 + y] = colour;
      texture.planes[1][x * 128 + y] = (colour >> 1) & 0x7F7F7F;
    }
  }
}

void LoadWallTextures() {
  std::vector<uint32_t> pixels;
  for (int i = 0; i < 26; ++i) LoadWallTexture(i, pixels);
}

void LoadSpriteImage(const std::string& path, SpriteImage& record) {
  std::vector<uint32_t> pixels;
  int width, height;
  if (LoadedOrLogged(LoadPicture(path, pixels, width, height), path, false)) {
    record.width = static_cast<uint8_t>(std::min(width, 64));
    record.height = static_cast<uint8_t>(std::min(height, 64));
    for (int x = 0; x < record.width; ++x)
      for (int y = 0; y < record.height; ++y) record.texels[x * 64 + y] = pixels[static_cast<size_t>(y) * width + x];
  }
  record.hang_offset = 0;
  if (record.width == 0) record.width = 1;
  if (record.height == 0) record.height = 1;
  // A magenta corner marks a picture hanging from the ceiling: its top edge
  // meets the top of the walls.
  if (record.texels[0] == MAGENTA) record.hang_offset = static_cast<uint8_t>(std::trunc(240 - record.height * 3.75));
}

HudBitmap LoadHudBitmap(const std::string& path) {
  HudBitmap bitmap;
  bitmap.pixels.assign(1, HUD_MISSING_COLOUR);
  if (!LoadedOrLogged(LoadPicture(path, bitmap.pixels, bitmap.width, bitmap.height), path, true)) {
    bitmap.width = bitmap.height = 1;
    bitmap.pixels.assign(1, HUD_MISSING_COLOUR);
  }
  return bitmap;
}

void LoadHudImages() {
  hud_panel = LoadHudBitmap(SpritePath("hudpanel"));
  for (int team = 0; team < 4; ++team) hud_team[team] = LoadHudBitmap(SpritePath("hud_team_" + std::to_string(team)));
  for (int weapon = 1; weapon <= NUM_WEAPONS; ++weapon) {
    const std::string picture = std::to_string(WEAPONS[weapon].picture);
    for (int frame = 0; frame < 2; ++frame) {
      HudBitmap& gun = hud_gun[weapon][frame];
      gun = LoadHudBitmap(SpritePath("hud_g" + picture + "_" + std::to_string(frame)));
      // The gun stands on the panel; the last picture loaded decides.
      gun_left[weapon] = 160 - gun.width / 2;
      gun_top[weapon] = 240 - gun.height - hud_panel.height;
    }
  }
  for (int weapon = 1; weapon <= NUM_WEAPONS; ++weapon)
    hud_weapon[weapon] = LoadHudBitmap(SpritePath("hud_w" + std::to_string(WEAPONS[weapon].picture)));
}

void LoadSpriteImages() {
  // One scratch record for the whole pass: a missing file repeats the image
  // loaded just before it (or the blank 1 x 1 start, which draws nothing).
  static SpriteImage scratch;
  scratch = SpriteImage{};
  auto load = [](const std::string& name, SpriteImage& slot) {
    LoadSpriteImage(SpritePath(name), scratch);
    slot = scratch;
  };
  for (int i = 0; i < 26; ++i) load(std::string("d") + static_cast<char>('a' + i), decoration_images[i]);
  for (int team = 0; team < 4; ++team)
    for (int frame = 0; frame < 30; ++frame)
      load("skin_" + std::to_string(team) + "_" + std::to_string(frame), skin_images[team][frame]);
  for (int kind = 0; kind < 3; ++kind)
    for (int frame = 0; frame < 4; ++frame)
      load("e" + std::to_string(kind) + "_" + std::to_string(frame), effect_images[kind][frame]);
  for (int i = 0; i < 10; ++i) load(std::string("it") + static_cast<char>('0' + i), item_images[i]);
}
