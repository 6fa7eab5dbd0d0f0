// A plain, column-by-column raycaster written straight from the algorithm:
// per-column DDA, per-pixel texel fetch and depth test, every pixel written
// through a column-major pixel index table. It is slow and obvious on
// purpose: the game's renderer must produce exactly this picture and depth.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "client/core/client_state.h"
#include "client/presentation/assets.h"
#include "client/presentation/renderer.h"

namespace reference {

struct View {
  uint32_t surface[VIEW_W * VIEW_H];
  uint16_t depth[VIEW_W][VIEW_H + 1];  // entry 300: the wall's depth
  int32_t index_table[VIEW_W * VIEW_H];  // column c, row r at c * 300 + r
  float farthest = 0;

  View() {
    for (int c = 0; c < VIEW_W; ++c)
      for (int r = 0; r < VIEW_H; ++r) index_table[c * VIEW_H + r] = r * VIEW_W + c;
    std::memset(surface, 0, sizeof surface);
    std::memset(depth, 0, sizeof depth);
  }
  void Put(int c, int r, uint32_t colour) { surface[index_table[c * VIEW_H + r]] = colour; }
  uint32_t At(int c, int r) const { return surface[r * VIEW_W + c]; }
};

inline float FastSqrt(float v) {
  uint32_t i;
  std::memcpy(&i, &v, 4);
  i = 0x5F3759DF - (i >> 1);
  float y;
  std::memcpy(&y, &i, 4);
  y = y * (1.5f - 0.5f * v * y * y);
  return 1 / y;
}

inline bool Blocks(char c) { return (c >= 'A' && c <= 'Z') || c == '['; }

inline uint16_t Depth(float distance) {
  return static_cast<uint16_t>(static_cast<int32_t>(std::min(distance * 100.0f, 65535.0f)));
}

inline void CastWalls(View& view, const Camera& cam) {
  const float posX = cam.pos_x, posY = cam.pos_y;
  const float dirX = cam.dir_x, dirY = cam.dir_y;
  const float planeX = -dirY * 0.9f, planeY = dirX * 0.9f;
  const int pX = static_cast<int>(posX), pY = static_cast<int>(posY);
  view.farthest = 0;
  const char saved = map_grid[pX][pY];
  if (Blocks(saved)) map_grid[pX][pY] = ' ';

  float camX = -1.0f;
  for (int c = 0; c < VIEW_W; ++c) {
    float rayDirX = dirX + planeX * camX;
    float rayDirY = dirY + planeY * camX;
    if (rayDirX == 0) rayDirX = 0.00001f;
    if (rayDirY == 0) rayDirY = 0.00001f;
    const float deltaX = FastSqrt(rayDirY * rayDirY / (rayDirX * rayDirX) + 1);
    const float deltaY = FastSqrt(rayDirX * rayDirX / (rayDirY * rayDirY) + 1);
    int mapX = pX, mapY = pY, stepX, stepY, side = 0;
    float sideX, sideY;
    if (rayDirX < 0) {
      stepX = -1;
      sideX = (posX - mapX) * deltaX;
    } else {
      stepX = 1;
      sideX = (mapX + 1 - posX) * deltaX;
    }
    if (rayDirY < 0) {
      stepY = -1;
      sideY = (posY - mapY) * deltaY;
    } else {
      stepY = 1;
      sideY = (mapY + 1 - posY) * deltaY;
    }
    while (!Blocks(map_grid[mapX][mapY])) {
      if (sideX < sideY) {
        sideX += deltaX;
        mapX += stepX;
        side = 0;
      } else {
        sideY += deltaY;
        mapY += stepY;
        side = 1;
      }
    }
    float dist = side == 0 ? (mapX - posX + (1 - stepX) / 2) / rayDirX : (mapY - posY + (1 - stepY) / 2) / rayDirY;
    if (dist < 0.001f) dist = 0.001f;
    if (dist > view.farthest) view.farthest = dist;
    const uint16_t depth = Depth(dist);
    for (int r = 0; r <= VIEW_H; ++r) view.depth[c][r] = depth;

    const char cell = map_grid[mapX][mapY];
    if (cell == '[') {
      for (int r = 0; r <= 150; ++r) view.Put(c, r, ceiling_colour);
      for (int r = 151; r < VIEW_H; ++r) view.Put(c, r, floor_colour);
    } else {
      const WallTexture& T = wall_textures[cell - 'A'];
      const int lift = static_cast<int>(cam.eye_height / dist * 1.25f);
      const int lineHeight = static_cast<int>(300 / dist);
      const int top = 150 - lineHeight + lift;
      const int ceilingEnd = std::max(top, 0);
      const int bottom = std::min(top + lineHeight, 299);
      const float wallX = side == 1 ? posX + dist * rayDirX : posY + dist * rayDirY;
      const float frac = wallX - std::trunc(wallX);
      int texX = std::min(static_cast<int>(T.width * frac), T.width - 1);
      if ((side == 1 && rayDirY > 0) || (side == 0 && rayDirX < 0)) texX = T.width - texX - 1;
      const float step = static_cast<float>(T.height) / static_cast<float>(lineHeight + 1);
      float texY = top < 0 ? static_cast<float>(-top) * step : 0.0f;
      for (int r = 0; r < std::min(ceilingEnd, VIEW_H); ++r) view.Put(c, r, ceiling_colour);
      for (int r = ceilingEnd; r <= bottom; ++r) {
        const int row = std::min(static_cast<int>(texY), T.height - 1);
        view.Put(c, r, T.planes[side][texX * 128 + row]);
        texY += step;
      }
      for (int r = bottom + 1; r < VIEW_H; ++r) view.Put(c, r, floor_colour);
    }
    camX += 0.005f;
  }
  map_grid[pX][pY] = saved;
}

// Pixels a billboard covers on screen and pixels it actually wrote.
struct BillboardStats {
  long covered = 0;
  long written = 0;
};

inline void DrawBillboard(View& view, const Camera& cam, uint8_t hang, const SpriteImage& image, bool mirrored,
                          float x, float y, BillboardStats* stats = nullptr) {
  const float planeX = -cam.dir_y * 0.9f, planeY = cam.dir_x * 0.9f;
  const float relX = x - cam.pos_x, relY = y - cam.pos_y;
  const float invDet = 1 / (planeX * cam.dir_y - cam.dir_x * planeY);
  const float depthF = invDet * (-planeY * relX + planeX * relY);
  if (depthF <= 0.01f || depthF >= view.farthest) return;
  const float sideF = invDet * (cam.dir_y * relX - cam.dir_x * relY);
  const int lift = static_cast<int>((cam.eye_height - hang) / depthF * 1.25f);
  const int screenX = static_cast<int>((sideF / depthF + 1) * 200);
  const int foot = lift + 150;
  const int drawW = static_cast<int>(image.width / depthF * 4.1666667f) + 1;
  const int halfW = drawW >> 1;
  const int drawH = static_cast<int>(image.height / depthF * 4.6875f) + 1;
  if (screenX <= -halfW || screenX >= halfW + 400 || foot <= 0 || foot >= drawH + 300) return;
  const uint16_t depth = Depth(depthF);
  const int c0 = std::max(screenX - halfW, 0), c1 = std::min(screenX + halfW - 1, 399);
  const int r0 = std::max(foot - drawH, 0), r1 = std::min(foot - 1, 299);
  float stepU = static_cast<float>(image.width) / static_cast<float>(drawW);
  const float stepV = static_cast<float>(image.height) / static_cast<float>(drawH);
  float u = screenX - halfW < 0 ? static_cast<float>(std::abs(screenX - halfW)) * stepU : 0.0f;
  if (mirrored) {
    stepU = -stepU;
    u = image.width - u - 1;
  }
  const float v0 = foot - drawH < 0 ? static_cast<float>(std::abs(foot - drawH)) * stepV : 0.0f;
  const uint32_t transparent = image.texels[0];
  if (stats && c1 >= c0 && r1 >= r0) stats->covered += static_cast<long>(c1 - c0 + 1) * (r1 - r0 + 1);
  for (int c = c0; c <= c1; ++c) {
    if (view.depth[c][300] > depth) {
      float v = v0;
      const int tx = std::clamp(static_cast<int>(u), 0, image.width - 1);
      for (int r = r0; r <= r1; ++r) {
        if (view.depth[c][r] > depth) {
          const int ty = std::min(static_cast<int>(v), image.height - 1);
          const uint32_t texel = image.texels[tx * 64 + ty];
          if (texel != transparent) {
            view.Put(c, r, texel);
            view.depth[c][r] = depth;
            if (stats) ++stats->written;
          }
        }
        v += stepV;
      }
    }
    u += stepU;
  }
}

inline void ApplyTint(View& view, const Camera& cam) {
  if (cam.tint_r == 255 && cam.tint_g == 255 && cam.tint_b == 255) {
    view.surface[0] = 0;
    return;
  }
  const uint32_t mask = static_cast<uint32_t>(cam.tint_r) << 16 | static_cast<uint32_t>(cam.tint_g) << 8 | cam.tint_b;
  for (int c = 0; c < VIEW_W; ++c)
    for (int r = 0; r < VIEW_H; ++r) view.surface[view.index_table[c * VIEW_H + r]] &= mask;
}

}  // namespace reference
