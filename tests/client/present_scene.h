// A reproducible arena for comparing renderers and for the benchmark: a
// 64 x 64 map of rooms, doors and pillars, textures of assorted sizes,
// billboards of assorted sizes, and camera poses in open cells.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "client/core/client_state.h"
#include "client/presentation/assets.h"
#include "client/presentation/renderer.h"

namespace scene {

// A small deterministic generator, the same on every machine.
struct Random {
  uint32_t state;
  explicit Random(uint32_t seed) : state(seed * 2654435761u + 12345u) {}
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
  float Unit() { return static_cast<float>(Next() & 0xFFFFFF) / 16777216.0f; }
};

inline bool Open(int x, int y) {
  const char c = map_grid[x][y];
  return !((c >= 'A' && c <= 'Z') || c == '[');
}

// Rooms of 8 x 8 cells with doorways, pillars inside, every wall letter used.
inline void BuildArena(uint32_t seed) {
  Random rng(seed);
  for (int x = 1; x <= 64; ++x)
    for (int y = 1; y <= 64; ++y) map_grid[x][y] = ' ';
  for (int x = 1; x <= 64; ++x)
    for (int y = 1; y <= 64; ++y) {
      const bool grid_line = (x % 8 == 0) || (y % 8 == 0);
      const bool doorway = ((x % 8 == 4) || (y % 8 == 4)) && !((x % 8 == 0) && (y % 8 == 0));
      if (grid_line && !doorway) map_grid[x][y] = static_cast<char>('A' + rng.Below(26));
    }
  for (int i = 0; i < 90; ++i) {
    const int x = 1 + rng.Below(64), y = 1 + rng.Below(64);
    if (x % 8 != 4 && y % 8 != 4) map_grid[x][y] = static_cast<char>('A' + rng.Below(26));
  }
  // Obstacle decorations do not stop rays.
  for (int i = 0; i < 40; ++i) {
    const int x = 1 + rng.Below(64), y = 1 + rng.Below(64);
    if (Open(x, y)) map_grid[x][y] = static_cast<char>('e' + rng.Below(20));
  }
  ceiling_colour = 0x4E4E4E;
  floor_colour = 0x767676;
}

// Textures whose texels are all different, in sizes from 1 to 128.
inline void FillTextures(uint32_t seed) {
  Random rng(seed);
  const int sizes[] = {128, 64, 50, 37, 1, 128, 100, 17, 128, 64, 3, 127, 128};
  for (int t = 0; t < 26; ++t) {
    WallTexture& tex = wall_textures[t];
    tex.width = static_cast<uint8_t>(sizes[t % 13]);
    tex.height = static_cast<uint8_t>(sizes[(t * 5 + 3) % 13]);
    for (int i = 0; i < 128 * 128; ++i) {
      const uint32_t c = rng.Next() & 0xFFFFFF;
      tex.planes[0][i] = c;
      tex.planes[1][i] = (c >> 1) & 0x7F7F7F;
    }
  }
}

inline void FillSprites(std::vector<SpriteImage>& images, int count, uint32_t seed) {
  Random rng(seed);
  images.assign(static_cast<size_t>(count), SpriteImage{});
  const int sizes[] = {64, 32, 1, 48, 64, 17, 64, 63};
  for (int i = 0; i < count; ++i) {
    SpriteImage& s = images[static_cast<size_t>(i)];
    s.width = static_cast<uint8_t>(sizes[i % 8]);
    s.height = static_cast<uint8_t>(sizes[(i * 3 + 1) % 8]);
    const uint32_t transparent = rng.Next() & 0xFFFFFF;
    for (auto& t : s.texels) t = rng.Below(3) == 0 ? transparent : rng.Next() & 0xFFFFFF;
    s.texels[0] = transparent;
    s.hang_offset = static_cast<uint8_t>(i % 3 == 0 ? 0 : rng.Below(241));
  }
}

struct Billboard {
  float x, y;
  uint8_t hang;
  int image;
  bool mirrored;
};

// Billboards scattered over open cells, some right next to each other.
inline std::vector<Billboard> Scatter(int count, int image_count, uint32_t seed) {
  Random rng(seed);
  std::vector<Billboard> out;
  while (static_cast<int>(out.size()) < count) {
    const float x = 1 + 64 * rng.Unit(), y = 1 + 64 * rng.Unit();
    if (!Open(static_cast<int>(x), static_cast<int>(y))) continue;
    const int image = rng.Below(image_count);
    out.push_back({x, y, static_cast<uint8_t>(rng.Below(3) == 0 ? rng.Below(256) : 0), image, rng.Below(2) == 0});
  }
  return out;
}

struct Pose {
  float x, y;
  int angle;
  uint8_t eye;
  uint8_t tint_r, tint_g, tint_b;
};

inline Camera CameraFor(const Pose& p) {
  Camera cam;
  cam.pos_x = p.x;
  cam.pos_y = p.y;
  cam.dir_x = std::cos(p.angle * 0.0174532925f);
  cam.dir_y = std::sin(p.angle * 0.0174532925f);
  cam.eye_height = p.eye;
  cam.tint_r = p.tint_r;
  cam.tint_g = p.tint_g;
  cam.tint_b = p.tint_b;
  return cam;
}

// Poses in open cells at whole-degree angles; a few stand inside walls.
inline std::vector<Pose> Poses(int count, uint32_t seed, bool tinted) {
  Random rng(seed);
  std::vector<Pose> out;
  while (static_cast<int>(out.size()) < count) {
    // Positions are whole position units, as the game's are.
    const float x = (65 + rng.Below(4159 - 65 + 1)) / 64.0f;
    const float y = (65 + rng.Below(4159 - 65 + 1)) / 64.0f;
    const bool in_wall = rng.Below(10) == 0;
    if (!in_wall && !Open(static_cast<int>(x), static_cast<int>(y))) continue;
    const uint8_t eyes[] = {165, 165, 165, 20, 64, 100};
    Pose p{x, y, rng.Below(360), eyes[rng.Below(6)], 255, 255, 255};
    if (tinted) {
      p.tint_r = static_cast<uint8_t>(129 + rng.Below(127));
      p.tint_g = static_cast<uint8_t>(129 + rng.Below(127));
      p.tint_b = static_cast<uint8_t>(129 + rng.Below(127));
    }
    out.push_back(p);
  }
  return out;
}

// Billboards spread in front of a pose, all in its view: heavy overdraw.
inline std::vector<Billboard> InView(const Pose& p, int count, int image_count, uint32_t seed) {
  Random rng(seed);
  const Camera cam = CameraFor(p);
  std::vector<Billboard> out;
  for (int i = 0; i < count; ++i) {
    const float ahead = 0.6f + 2.5f * rng.Unit();
    const float across = (rng.Unit() - 0.5f) * ahead * 1.2f;
    out.push_back({p.x + cam.dir_x * ahead - cam.dir_y * across, p.y + cam.dir_y * ahead + cam.dir_x * across, 0,
                   rng.Below(image_count), rng.Below(2) == 0});
  }
  return out;
}

}  // namespace scene
