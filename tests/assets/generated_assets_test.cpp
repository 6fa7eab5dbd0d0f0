// Runs the real asset generator into a temporary folder and reads every
// file back the way the client does: pictures through SDL2's BMP reader,
// sounds through the client's WAV reader.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "client/presentation/assets.h"
#include "support/asset_names.h"
#include "support/process.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kMagenta = 0xFF00FF;
constexpr uint32_t kWhite = 0xFFFFFF;

bool RunAssetgen(const std::string& out) {
  return std::system((BinaryPath("assetgen") + " '" + out + "' > /dev/null").c_str()) == 0;
}

// A picture as 0x00RRGGBB, row-major from the top row.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
  uint32_t Corner() const { return pixels[0]; }
};

bool LoadPicture(const fs::path& path, Picture& picture) {
  SDL_Surface* loaded = SDL_LoadBMP(path.c_str());
  if (!loaded) return false;
  SDL_Surface* rgb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB888, 0);
  SDL_FreeSurface(loaded);
  if (!rgb) return false;
  picture.width = rgb->w;
  picture.height = rgb->h;
  picture.pixels.resize(size_t(rgb->w) * rgb->h);
  for (int y = 0; y < rgb->h; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(rgb->pixels) + y * rgb->pitch);
    for (int x = 0; x < rgb->w; ++x) picture.pixels[size_t(y) * rgb->w + x] = row[x] & 0xFFFFFF;
  }
  SDL_FreeSurface(rgb);
  return true;
}

std::vector<std::string> EffectNames() {
  std::vector<std::string> names;
  for (int kind = 0; kind < 3; ++kind)
    for (const std::string& n : Numbered("e" + std::to_string(kind) + "_", 0, 3, ".bmp")) names.push_back(n);
  return names;
}

std::vector<std::string> GunNames(int weapon) {
  return {"hud_g" + std::to_string(weapon) + "_0.bmp", "hud_g" + std::to_string(weapon) + "_1.bmp"};
}

double Share(const Picture& p, uint32_t colour) {
  return double(std::count(p.pixels.begin(), p.pixels.end(), colour)) / double(p.pixels.size());
}

// Rows (top, bottom) that hold anything but the transparent colour.
std::pair<int, int> ContentRows(const Picture& p) {
  int top = p.height, bottom = -1;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      if (p.At(x, y) != p.Corner()) {
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  return {top, bottom};
}

// Average of the strongly coloured drawn pixels: the uniform, not the
// boots, face or gun.
uint32_t AverageColourful(const Picture& p) {
  double sum[3] = {0, 0, 0};
  int n = 0;
  for (uint32_t c : p.pixels) {
    const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    if (c != p.Corner() && std::max({r, g, b}) - std::min({r, g, b}) > 40) {
      sum[0] += (c >> 16) & 0xFF;
      sum[1] += (c >> 8) & 0xFF;
      sum[2] += c & 0xFF;
      ++n;
    }
  }
  if (n == 0) return 0;
  return (uint32_t(sum[0] / n) << 16) | (uint32_t(sum[1] / n) << 8) | uint32_t(sum[2] / n);
}

double ColourDistance(uint32_t a, uint32_t b) {
  double d = 0;
  for (int shift : {16, 8, 0}) {
    const double diff = double((a >> shift) & 0xFF) - double((b >> shift) & 0xFF);
    d += diff * diff;
  }
  return std::sqrt(d);
}

class GeneratedAssets : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    root_ = dir_->path();
    generated_ = RunAssetgen(root_);
  }
  static void TearDownTestSuite() { delete dir_; }
  void SetUp() override { ASSERT_TRUE(generated_) << "assetgen failed"; }

  static Picture Sprite(const std::string& name) {
    Picture p;
    EXPECT_TRUE(LoadPicture(root_ / "sprites" / name, p)) << name << ": " << SDL_GetError();
    return p;
  }

  static TempDir* dir_;
  static fs::path root_;
  static bool generated_;
};

TempDir* GeneratedAssets::dir_ = nullptr;
fs::path GeneratedAssets::root_;
bool GeneratedAssets::generated_ = false;

TEST_F(GeneratedAssets, WallTexturesAreDistinctShadedTiles) {
  std::set<std::vector<uint32_t>> seen;
  for (const std::string& name : Lettered("w", 'A', 'Z', ".bmp")) {
    SCOPED_TRACE(name);
    const Picture p = Sprite(name);
    ASSERT_EQ(p.width, 128);
    ASSERT_EQ(p.height, 128);
    EXPECT_GT(std::set<uint32_t>(p.pixels.begin(), p.pixels.end()).size(), 100u) << "flat colour";
    EXPECT_TRUE(seen.insert(p.pixels).second) << "same picture as another letter";
    // Walls stand side by side: the step from the right edge round to the
    // left edge is no sharper than the sharpest edge inside the picture.
    auto step = [&](int x0, int x1) {
      double sum = 0;
      for (int y = 0; y < 128; ++y) sum += ColourDistance(p.At(x0, y), p.At(x1, y));
      return sum;
    };
    double sharpest = 0;
    for (int x = 0; x < 127; ++x) sharpest = std::max(sharpest, step(x, x + 1));
    EXPECT_LE(step(127, 0), sharpest * 1.05);
  }
}

// Every billboard's corner colour is its background; it stands on the
// floor or, as some decorations do (never one to walk through), hangs from
// the ceiling. Effects of kinds 0 and 1 float where they happen.
TEST_F(GeneratedAssets, BillboardsKeepTheirCornerColourAsBackgroundAndStandOrHang) {
  std::vector<std::string> names = Lettered("d", 'a', 'z', ".bmp");
  for (const auto& list : {Numbered("it", 0, 9, ".bmp"), SkinNames(".bmp"), EffectNames()})
    names.insert(names.end(), list.begin(), list.end());
  int hung = 0;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const Picture p = Sprite(name);
    EXPECT_GE(p.width, 1);
    EXPECT_LE(p.width, 64);
    EXPECT_LE(p.height, 64);
    const double background = Share(p, p.Corner());
    EXPECT_GT(background, 0.3) << "the corner colour is not the background";
    EXPECT_LT(background, 0.97) << "almost nothing drawn";
    if (name[0] == 'd' && p.Corner() == kMagenta) {
      ++hung;
      EXPECT_LE(ContentRows(p).first, 1) << "a hanging picture reaches the ceiling";
      EXPECT_TRUE(name[1] >= 'e') << "walk-through decorations stand on the floor";
    } else if (name.rfind("e0_", 0) != 0 && name.rfind("e1_", 0) != 0) {
      EXPECT_NE(p.Corner(), kMagenta);
      EXPECT_GE(ContentRows(p).second, p.height - 4) << "the foot is not at the bottom of the picture";
    }
  }
  EXPECT_GE(hung, 3);
}

TEST_F(GeneratedAssets, SkinsShowFourTeamsAndMoveBetweenFrames) {
  uint32_t teamColour[4];
  for (int team = 0; team < 4; ++team) {
    SCOPED_TRACE(team);
    std::vector<Picture> frames;
    for (const std::string& name : Numbered("skin_" + std::to_string(team) + "_", 0, 29, ".bmp")) frames.push_back(Sprite(name));
    for (const Picture& f : frames) ASSERT_EQ(f.pixels.size(), frames[0].pixels.size());
    teamColour[team] = AverageColourful(frames[16]);
    // Walk phases, directions, firing and dying all differ from each other.
    for (int a = 0; a < 30; ++a)
      for (int b = a + 1; b < 30; ++b) EXPECT_NE(frames[a].pixels, frames[b].pixels) << "frames " << a << " and " << b;
    // The last dying frame lies on the floor: low and wide.
    const auto [top, bottom] = ContentRows(frames[29]);
    EXPECT_LT(bottom - top, frames[29].height / 3);
  }
  for (int a = 0; a < 4; ++a)
    for (int b = a + 1; b < 4; ++b) EXPECT_GT(ColourDistance(teamColour[a], teamColour[b]), 80.0) << a << " vs " << b;
}

TEST_F(GeneratedAssets, HudPicturesFitTheirPlacesWithoutWhite) {
  const Picture panel = Sprite("hudpanel.bmp");
  ASSERT_EQ(panel.width, 320);
  ASSERT_GE(panel.height, 36);
  ASSERT_LE(panel.height, 60);
  std::vector<std::pair<std::string, Picture>> all = {{"hudpanel.bmp", panel}};
  for (const std::string& name : Numbered("hud_team_", 0, 3, ".bmp")) {
    const Picture p = Sprite(name);
    EXPECT_LE(278 + p.width, 320) << name;
    EXPECT_LE(14 + p.height, panel.height) << name;
    all.emplace_back(name, p);
  }
  for (const std::string& name : Numbered("hud_w", 1, 5, ".bmp")) {
    const Picture p = Sprite(name);
    EXPECT_LE(218 + p.width, 278) << name << " overlaps the team icon";
    EXPECT_LE(6 + p.height, panel.height) << name;
    all.emplace_back(name, p);
  }
  for (int weapon = 1; weapon <= 5; ++weapon) {
    const Picture idle = Sprite(GunNames(weapon)[0]), firing = Sprite(GunNames(weapon)[1]);
    SCOPED_TRACE(weapon);
    EXPECT_EQ(idle.width, firing.width);
    EXPECT_EQ(idle.height, firing.height);
    EXPECT_NE(idle.pixels, firing.pixels) << "the firing frame shows nothing new";
    EXPECT_LE(firing.width, 320);
    EXPECT_GE(240 - firing.height - panel.height, 0) << "the gun would stick out above the overlay";
    for (const Picture* p : {&idle, &firing}) EXPECT_GT(Share(*p, p->Corner()), 0.3) << "no transparent background";
    all.emplace_back(GunNames(weapon)[0], idle);
    all.emplace_back(GunNames(weapon)[1], firing);
  }
  for (const auto& [name, p] : all) EXPECT_EQ(Share(p, kWhite), 0.0) << name << " has see-through white";
}

TEST_F(GeneratedAssets, SoundsAreShortCleanAndLoud) {
  for (const std::string& name : SoundNames()) {
    SCOPED_TRACE(name);
    WavData wav;
    ASSERT_TRUE(ReadWavFile((root_ / "sounds" / (name + ".wav")).string(), wav));
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.bits, 16);
    EXPECT_EQ(wav.sample_rate, 22050u);
    const size_t count = wav.samples.size() / 2;
    const double seconds = double(count) / wav.sample_rate;
    EXPECT_GT(seconds, 0.03);
    EXPECT_LT(seconds, 2.5);
    int peak = 0;
    double energy = 0;
    for (size_t i = 0; i < count; ++i) {
      const int v = int16_t(uint16_t(wav.samples[2 * i] | (wav.samples[2 * i + 1] << 8)));
      peak = std::max(peak, std::abs(v));
      energy += double(v) * v;
    }
    const double peakDb = 20 * std::log10(peak / 32768.0);
    const double rmsDb = 10 * std::log10(energy / double(count) / (32768.0 * 32768.0));
    EXPECT_LT(peakDb, -0.5) << "clipping";
    EXPECT_GT(peakDb, -3.0) << "not normalised";
    EXPECT_GT(rmsDb, -30.0) << "too quiet";
  }
}

TEST_F(GeneratedAssets, SecondRunWritesTheSameBytes) {
  const TempDir again;
  ASSERT_TRUE(RunAssetgen(again.path()));
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root_)) {
    if (!entry.is_regular_file()) continue;
    ++files;
    const std::string twin = again / fs::relative(entry.path(), root_).string();
    EXPECT_EQ(ReadFile(entry.path()), ReadFile(twin)) << twin;
  }
  EXPECT_EQ(files, 26u + 26 + 10 + 120 + 12 + 1 + 4 + 5 + 10 + 20);
}

}  // namespace
