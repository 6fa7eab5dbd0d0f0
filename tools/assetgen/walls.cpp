// The 26 wall textures 'A'..'Z', 128 x 128, each tiling left to right and
// top to bottom. Map makers pick walls by these letters:
//
//   A grey stone blocks          N gold banner on grey stone (team 3)
//   B dark large stone blocks    O mossy grey stone
//   C red brick                  P mossy red brick
//   D yellow-brown brick         Q pale tiles, blue band
//   E light wood panelling       R green tiles
//   F bookshelf                  S rough fieldstone
//   G blue metal plates          T sandstone blocks
//   H grey riveted metal         U stone with a barred window
//   I grey metal door            V concrete with hazard stripes
//   J wooden door, iron bands    W wood panelling with a painting
//   K red banner on stone (0)    X blue metal with a vent grille
//   L green banner on stone (1)  Y steel blast door, striped
//   M blue banner on stone (2)   Z green hedge (outdoors)
#include <cmath>
#include <functional>

#include "tools/assetgen/assets.h"

namespace {

constexpr int kSize = 128;

// Irregular rows of blocks separated by mortar; every block gets its own
// tint and a bevel so the surface looks carved rather than painted.
struct MasonryStyle {
  int rows = 8;
  int minWidth = 24, maxWidth = 48;   // equal values give regular bricks
  int mortar = 2;
  Rgb stone, mortarColour;
  float tint = 0.12f;                 // block-to-block brightness spread
  float roughness = 0.25f;            // noise inside a block
  bool hueShift = false;              // per-block shift towards warmer colours
};

Canvas Masonry(const MasonryStyle& style, uint64_t seed) {
  Canvas c(kSize, kSize);
  Rng rng(seed);
  TileNoise noise(seed * 31 + 7, kSize);
  const int rowHeight = kSize / style.rows;
  for (int row = 0; row < style.rows; ++row) {
    // Widths that add up to the texture width, so rows tile sideways.
    std::vector<int> widths;
    int left = kSize;
    while (left > 0) {
      int w = style.minWidth == style.maxWidth ? style.minWidth : rng.Int(style.minWidth, style.maxWidth);
      if (left - w < style.minWidth) w = left;
      widths.push_back(w);
      left -= w;
    }
    const int shift = style.minWidth == style.maxWidth ? (row % 2) * style.minWidth / 2 : rng.Int(0, kSize - 1);
    int x0 = 0;
    for (int w : widths) {
      const float tint = 1.0f + rng.Range(-style.tint, style.tint);
      Rgb stone = Scale(style.stone, tint);
      if (style.hueShift) stone = Mix(stone, RgbOf(0x9A7050), rng.Range(0.0f, 0.25f));
      for (int ly = 0; ly < rowHeight; ++ly)
        for (int lx = 0; lx < w; ++lx) {
          const int x = (x0 + lx + shift) % kSize, y = row * rowHeight + ly;
          const float n = noise.Fractal(float(x), float(y), 16, 4);
          if (lx < style.mortar || ly < style.mortar) {
            c.Set(x, y, Scale(style.mortarColour, 0.8f + 0.4f * n));
            continue;
          }
          float f = 1.0f + style.roughness * (n - 0.5f) * 2;
          if (lx < style.mortar + 2 || ly < style.mortar + 2) f *= 1.18f;          // lit top-left edge
          if (lx >= w - 2 || ly >= rowHeight - 2) f *= 0.72f;                     // shadowed bottom-right
          c.Set(x, y, Scale(stone, f));
        }
      x0 += w;
    }
  }
  return c;
}

MasonryStyle GreyStone() {
  MasonryStyle s;
  s.stone = RgbOf(0x8A8A8C);
  s.mortarColour = RgbOf(0x4A4A4C);
  return s;
}

MasonryStyle DarkStone() {
  MasonryStyle s;
  s.rows = 4;
  s.minWidth = 40;
  s.maxWidth = 72;
  s.mortar = 3;
  s.stone = RgbOf(0x5C5A60);
  s.mortarColour = RgbOf(0x2A282C);
  s.roughness = 0.35f;
  return s;
}

MasonryStyle Brick(Rgb colour, Rgb mortar) {
  MasonryStyle s;
  s.rows = 16;
  s.minWidth = s.maxWidth = 32;
  s.mortar = 2;
  s.stone = colour;
  s.mortarColour = mortar;
  s.tint = 0.15f;
  s.roughness = 0.18f;
  s.hueShift = true;
  return s;
}

// Vertical planks with grain, knots and dark gaps between boards.
Canvas Planks(Rgb wood, int plankWidth, uint64_t seed) {
  Canvas c(kSize, kSize);
  Rng rng(seed);
  TileNoise noise(seed, kSize);
  const int planks = kSize / plankWidth;
  for (int p = 0; p < planks; ++p) {
    const Rgb board = Scale(wood, 1.0f + rng.Range(-0.12f, 0.12f));
    const float phase = rng.Range(0, 6.28f);
    for (int y = 0; y < kSize; ++y)
      for (int lx = 0; lx < plankWidth; ++lx) {
        const int x = p * plankWidth + lx;
        const float n = noise.Fractal(float(x) * 4, float(y), 32, 3);
        const float grain = 0.5f + 0.5f * std::sin(lx * 0.9f + phase + n * 6 + std::sin(y * 0.049f + phase) * 2);
        float f = 0.82f + 0.3f * grain;
        if (lx == 0) f = 0.45f;
        else if (lx == 1) f *= 1.15f;
        else if (lx == plankWidth - 1) f *= 0.75f;
        c.Set(x, y, Scale(board, f));
      }
    // A knot or two per board.
    for (int k = 0; k < 2; ++k) {
      const float kx = p * plankWidth + rng.Range(4, plankWidth - 4.0f), ky = rng.Range(8, kSize - 8.0f);
      ShadeEllipse(c, kx, ky, 2.5f, 4.0f, 0.55f);
    }
  }
  return c;
}

void Rivet(Canvas& c, float x, float y, Rgb plate) {
  FillCircle(c, x, y, 2.2f, Scale(plate, 0.55f));
  FillCircle(c, x - 0.4f, y - 0.4f, 1.6f, Scale(plate, 1.35f));
  c.Set(int(x) - 1, int(y) - 1, Offset(plate, 90));
}

// Square plates with brushed grain, bevelled edges and rivets.
Canvas MetalPlates(Rgb metal, int plate, uint64_t seed) {
  Canvas c(kSize, kSize);
  TileNoise noise(seed, kSize);
  Rng rng(seed);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const float brushed = noise.Fractal(float(x), float(y) * 8, 32, 3);
      c.Set(x, y, Scale(metal, 0.85f + 0.3f * brushed));
    }
  for (int py = 0; py < kSize; py += plate)
    for (int px = 0; px < kSize; px += plate) {
      const float tint = 1.0f + rng.Range(-0.06f, 0.06f);
      for (int y = py; y < py + plate; ++y)
        for (int x = px; x < px + plate; ++x) c.Scale(x, y, tint);
      Bevel(c, px, py, px + plate, py + plate, 2, 1.3f, 0.55f);
      for (float rx : {px + 6.0f, px + plate - 6.0f})
        for (float ry : {py + 6.0f, py + plate - 6.0f}) Rivet(c, rx, ry, metal);
    }
  // Joints inside the tile rather than on its edge, so neighbouring wall
  // cells meet in the middle of a plate.
  return RolledX(c, plate / 2);
}

// Glazed square tiles with grout lines and a glossy highlight.
Canvas Tiles(Rgb tileA, Rgb tileB, Rgb grout, int tile, uint64_t seed) {
  Canvas c(kSize, kSize, grout);
  Rng rng(seed);
  TileNoise noise(seed, kSize);
  for (int ty = 0; ty < kSize; ty += tile)
    for (int tx = 0; tx < kSize; tx += tile) {
      const bool checker = ((tx / tile) + (ty / tile)) % 2 == 0;
      const Rgb base = Scale(checker ? tileA : tileB, 1.0f + rng.Range(-0.05f, 0.05f));
      for (int y = ty + 1; y < ty + tile; ++y)
        for (int x = tx + 1; x < tx + tile; ++x) {
          float f = 0.92f + 0.12f * noise.At(float(x), float(y), 8);
          if (x - tx + y - ty < 8) f *= 1.12f;  // gloss in the upper left
          c.Set(x, y, Scale(base, f));
        }
      Bevel(c, tx + 1, ty + 1, tx + tile, ty + tile, 1, 1.15f, 0.8f);
    }
  Grain(c, 0, 0, kSize, kSize, 0.03f, rng);
  return c;
}

// Moss creeping from the bottom of the wall and along the dark mortar:
// coarse noise decides where it grows, fine noise breaks it into tufts.
void Moss(Canvas& c, uint64_t seed, float amount) {
  TileNoise coarse(seed, kSize), fine(seed + 1, kSize);
  Rng rng(seed);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const Rgb here = c.Get(x, y);
      const float darkness = 1.0f - (here.r + here.g + here.b) / (3 * 160.0f);
      const float grow = coarse.Fractal(float(x), float(y), 32, 3) + float(y) / kSize * 0.35f + darkness * 0.3f;
      const float tuft = fine.Fractal(float(x), float(y), 4, 2);
      if (grow + tuft * 0.5f > 1.55f - amount) {
        const Rgb moss = Mix(RgbOf(0x2E4A16), RgbOf(0x7A9A30), tuft * 0.8f + rng.Range(0, 0.2f));
        c.Set(x, y, moss);
      }
    }
}

// A hanging cloth banner in a team colour: a rod, gold trim, a swallow
// tail and an emblem; vertical folds darken it in bands.
void Banner(Canvas& c, Rgb colour, int emblem) {
  const Rgb gold = RgbOf(0xD8B040), rod = RgbOf(0x5A3A1A);
  const int left = 36, right = 92, top = 10, bottom = 112;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) {
      // Swallow tail: a notch cut from the middle of the bottom edge.
      const int notch = 16 - std::abs(x - (left + right) / 2);
      if (y > bottom - 16 + (16 - std::max(0, notch)) && notch > 0) continue;
      const bool trim = x < left + 3 || x >= right - 3 || y < top + 3;
      const float fold = 0.85f + 0.2f * std::sin((x - left) * 0.45f);
      c.Set(x, y, Scale(trim ? gold : colour, fold));
    }
  DrawLine(c, left - 6, top, right + 6, top, 4, rod);
  FillCircle(c, left - 6, top, 3, gold);
  FillCircle(c, right + 6, top, 3, gold);
  // Emblem in gold on a dark disc.
  const float cx = (left + right) / 2.0f, cy = 50;
  FillCircle(c, cx, cy, 16, Scale(colour, 0.45f));
  FillCircle(c, cx, cy, 14, Scale(colour, 0.7f));
  switch (emblem) {
    case 0:  // eagle-like spread wings
      FillPolygon(c, {{cx - 12, cy - 4}, {cx, cy + 2}, {cx + 12, cy - 4}, {cx + 8, cy + 4}, {cx, cy + 8}, {cx - 8, cy + 4}}, gold);
      FillCircle(c, cx, cy - 4, 3, gold);
      break;
    case 1:  // claw marks
      for (int i = -1; i <= 1; ++i) DrawLine(c, cx - 8 + i * 5, cy - 10, cx - 2 + i * 5, cy + 10, 2.5f, gold);
      break;
    case 2:  // crossed swords
      DrawLine(c, cx - 10, cy - 10, cx + 10, cy + 10, 2.5f, gold);
      DrawLine(c, cx + 10, cy - 10, cx - 10, cy + 10, 2.5f, gold);
      break;
    default: {  // star
      std::vector<std::pair<float, float>> star;
      for (int i = 0; i < 10; ++i) {
        const float r = i % 2 ? 5.0f : 12.0f, a = -1.5708f + i * 0.6283f;
        star.emplace_back(cx + r * std::cos(a), cy + r * std::sin(a));
      }
      FillPolygon(c, star, gold);
    }
  }
  Rng rng(uint64_t(emblem) + 5);
  Grain(c, left, top, right, bottom, 0.04f, rng);
}

// A door set into a frame: the frame material stays round the edges so
// neighbouring wall blocks join it naturally.
Canvas MetalDoor(uint64_t seed) {
  Canvas c = MetalPlates(RgbOf(0x6A6E74), 64, seed);
  const Rgb door = RgbOf(0x7C828A);
  TileNoise noise(seed + 1, kSize);
  for (int y = 8; y < kSize; ++y)
    for (int x = 20; x < 108; ++x) c.Set(x, y, Scale(door, 0.9f + 0.2f * noise.Fractal(float(x), float(y) * 6, 32, 3)));
  Bevel(c, 20, 8, 108, kSize, 3, 1.3f, 0.5f);
  for (int y = 12; y < kSize; y += 4) Bevel(c, 26, y, 102, y + 4, 1, 1.15f, 0.85f);  // ribs
  FillRect(c, 26, 40, 102, 56, Scale(door, 0.5f));
  Bevel(c, 26, 40, 102, 56, 2, 0.6f, 1.4f);
  FillRect(c, 90, 70, 98, 84, RgbOf(0x2A2A2A));   // handle plate
  FillRect(c, 92, 74, 100, 78, RgbOf(0xB0B4B8));
  return c;
}

Canvas WoodDoor(uint64_t seed) {
  Canvas c = Masonry(GreyStone(), seed);
  Canvas planks = Planks(RgbOf(0x7A4E28), 11, seed + 3);
  for (int y = 10; y < kSize; ++y)
    for (int x = 20; x < 108; ++x) c.Set(x, y, planks.Get(x, y));
  Bevel(c, 20, 10, 108, kSize, 3, 1.2f, 0.5f);
  for (int band : {28, 96}) {
    FillRect(c, 20, band, 108, band + 7, RgbOf(0x3A3A3E));
    Bevel(c, 20, band, 108, band + 7, 1, 1.5f, 0.6f);
    for (int x = 26; x < 106; x += 14) Rivet(c, float(x), band + 3.5f, RgbOf(0x5A5A60));
  }
  FillCircle(c, 92, 66, 5, RgbOf(0x2E2E30));
  FillCircle(c, 92, 66, 3.5f, RgbOf(0xA08A40));   // ring pull
  FillCircle(c, 92, 66, 2, RgbOf(0x2E2E30));
  return c;
}

// Four shelves of books with coloured spines between dark wooden posts; a
// post straddles the tile edge so shelf units stand side by side.
Canvas Bookshelf(uint64_t seed) {
  Canvas c = Planks(RgbOf(0x3A2412), 16, seed);
  Rng rng(seed);
  const Rgb spines[] = {RgbOf(0x8A2020), RgbOf(0x245A2A), RgbOf(0x23306A), RgbOf(0x6A4A22),
                        RgbOf(0x5A1A4A), RgbOf(0x9A7A3A), RgbOf(0x2A2A2A), RgbOf(0x7A3A1A)};
  for (int shelf = 0; shelf < 4; ++shelf) {
    const int bottom = shelf * 32 + 28;
    int x = 5;
    while (x < 123) {
      const int width = std::min(rng.Int(3, 7), 123 - x);
      const int height = rng.Int(17, 25);
      const Rgb spine = spines[rng.Int(0, 7)];
      for (int bx = x; bx < x + width; ++bx)
        for (int y = bottom - height; y < bottom; ++y) {
          const float shade = CylinderShade(bx + 0.5f, x + width / 2.0f, width / 2.0f + 0.5f);
          const bool band = y == bottom - height + 3 || y == bottom - 5;
          c.Set(bx, y, Scale(band ? RgbOf(0xC8A040) : spine, shade));
        }
      x += width;
    }
    FillRect(c, 0, bottom, kSize, bottom + 4, RgbOf(0x5A3A1C));    // shelf board
    Bevel(c, 0, bottom, kSize, bottom + 4, 1, 1.4f, 0.6f);
  }
  for (int x : {0, 1, 2, 125, 126, 127})
    for (int y = 0; y < kSize; ++y) c.Set(x, y, Scale(RgbOf(0x4A2E16), x < 3 ? 0.9f : 1.0f));  // posts
  return c;
}

Canvas BlastDoor(uint64_t seed) {
  Canvas c = MetalPlates(RgbOf(0x60646A), 32, seed);
  // Yellow and black diagonal stripes in two bands.
  for (int band : {0, 104})
    for (int y = band; y < band + 24; ++y)
      for (int x = 0; x < kSize; ++x) {
        const bool yellow = ((x + y) / 8) % 2 == 0;
        c.Set(x, y, Scale(yellow ? RgbOf(0xD8B020) : RgbOf(0x202020), 0.9f + 0.1f * ((x * 7 + y * 3) % 5) / 4.0f));
      }
  Bevel(c, 0, 0, kSize, 24, 2, 1.2f, 0.6f);
  Bevel(c, 0, 104, kSize, kSize, 2, 1.2f, 0.6f);
  FillRect(c, 63, 24, 65, 104, RgbOf(0x1A1A1A));  // seam of the two halves
  for (int y : {40, 88}) {
    FillRect(c, 48, y - 4, 80, y + 4, RgbOf(0x44484C));
    Bevel(c, 48, y - 4, 80, y + 4, 1, 1.4f, 0.6f);
  }
  return c;
}

Canvas Hedge(uint64_t seed) {
  Canvas c(kSize, kSize, RgbOf(0x1A2E10));
  Rng rng(seed);
  // Many small leaves, dark ones first and lit ones on top.
  for (int layer = 0; layer < 3; ++layer)
    for (int i = 0; i < 1400; ++i) {
      const float x = rng.Range(0, kSize), y = rng.Range(0, kSize);
      const Rgb leaf = Mix(RgbOf(0x2A4A18), RgbOf(0x6A9A34), (layer + rng.Unit()) / 3.0f);
      for (int dx = -kSize; dx <= kSize; dx += kSize)
        for (int dy = -kSize; dy <= kSize; dy += kSize) FillEllipse(c, x + dx, y + dy, 2.2f, 1.5f, leaf);
    }
  Grain(c, 0, 0, kSize, kSize, 0.08f, rng);
  return c;
}

// Rock faces from cellular noise: every cell a facet with its own tint,
// lit along its slope, with dark cracks where two facets meet.
Canvas CaveRock(uint64_t seed) {
  Canvas c(kSize, kSize);
  Rng rng(seed);
  constexpr int kCells = 6, kStep = kSize / kCells;
  float px[kCells][kCells], py[kCells][kCells], tint[kCells][kCells];
  for (int i = 0; i < kCells; ++i)
    for (int j = 0; j < kCells; ++j) {
      px[i][j] = (i + rng.Range(0.15f, 0.85f)) * kStep;
      py[i][j] = (j + rng.Range(0.15f, 0.85f)) * kStep;
      tint[i][j] = rng.Range(0.75f, 1.15f);
    }
  TileNoise noise(seed, kSize);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      float d1 = 1e9f, d2 = 1e9f, dx1 = 0, dy1 = 0, t1 = 1;
      for (int i = -1; i <= kCells; ++i)
        for (int j = -1; j <= kCells; ++j) {
          const int wi = (i + kCells) % kCells, wj = (j + kCells) % kCells;
          const float cx = px[wi][wj] + (i - wi) * kStep, cy = py[wi][wj] + (j - wj) * kStep;
          const float d = std::hypot(x - cx, y - cy);
          if (d < d1) {
            d2 = d1;
            d1 = d;
            dx1 = x - cx;
            dy1 = y - cy;
            t1 = tint[wi][wj];
          } else if (d < d2) {
            d2 = d;
          }
        }
      const float n = noise.Fractal(float(x), float(y), 16, 3);
      // Facets bulge towards their centre: lit on the upper left side.
      const float slope = (-dx1 - dy1) / (kStep * 0.9f);
      float f = t1 * (0.85f + 0.25f * slope) * (0.8f + 0.4f * n);
      if (d2 - d1 < 1.5f) f *= 0.35f;
      else if (d2 - d1 < 3.0f) f *= 0.7f;
      c.Set(x, y, Scale(Mix(RgbOf(0x5A4E40), RgbOf(0x8A7C66), n), f));
    }
  return c;
}

Canvas Concrete(uint64_t seed) {
  Canvas c(kSize, kSize);
  TileNoise noise(seed, kSize);
  Rng rng(seed);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x)
      c.Set(x, y, Scale(RgbOf(0x86847E), 0.85f + 0.3f * noise.Fractal(float(x), float(y), 32, 4)));
  Grain(c, 0, 0, kSize, kSize, 0.06f, rng);
  for (int y = 86; y < 110; ++y)
    for (int x = 0; x < kSize; ++x) {
      const bool yellow = ((x + y) / 12) % 2 == 0;
      if (yellow) c.Set(x, y, Scale(RgbOf(0xD0A818), 0.9f + 0.15f * noise.At(float(x), float(y), 8)));
      else c.Set(x, y, Scale(RgbOf(0x222222), 0.9f + 0.2f * noise.At(float(x), float(y), 8)));
    }
  for (int x = 0; x < kSize; x += 64) FillRect(c, x, 0, x + 1, kSize, RgbOf(0x5A5854));  // panel joints
  FillRect(c, 0, 0, kSize, 1, RgbOf(0x5A5854));
  return c;
}

// A framed landscape painting on wood panelling.
Canvas Painting(uint64_t seed) {
  Canvas c = Planks(RgbOf(0x8A5A30), 16, seed);
  const int x0 = 28, y0 = 26, x1 = 100, y1 = 86;
  FillRect(c, x0 - 6, y0 - 6, x1 + 6, y1 + 6, RgbOf(0xB08830));
  Bevel(c, x0 - 6, y0 - 6, x1 + 6, y1 + 6, 3, 1.3f, 0.6f);
  VerticalGradient(c, x0, y0, x1, y1, RgbOf(0x4A78B8), RgbOf(0xD8C8A0));
  FillCircle(c, 84, 40, 6, RgbOf(0xF0D070));
  FillPolygon(c, {{x0, 70}, {44, 52}, {60, 66}, {76, 48}, {x1, 68}, {x1, y1}, {x0, y1}}, RgbOf(0x4A6A3A));
  FillPolygon(c, {{x0, 78}, {60, 72}, {x1, 80}, {x1, y1}, {x0, y1}}, RgbOf(0x2E4A24));
  Rng rng(seed);
  Grain(c, x0, y0, x1, y1, 0.05f, rng);
  return c;
}

Canvas BarredWindow(uint64_t seed) {
  Canvas c = Masonry(GreyStone(), seed);
  const int x0 = 40, y0 = 24, x1 = 88, y1 = 88;
  VerticalGradient(c, x0, y0, x1, y1, RgbOf(0x101830), RgbOf(0x2A3A60));
  Rng rng(seed);
  for (int i = 0; i < 8; ++i) c.Set(rng.Int(x0 + 2, x1 - 3), rng.Int(y0 + 2, y1 - 20), RgbOf(0xD8D8C0));  // stars
  FillRect(c, x0 - 4, y1, x1 + 4, y1 + 6, RgbOf(0x9A9A9C));   // sill
  Bevel(c, x0 - 4, y1, x1 + 4, y1 + 6, 1, 1.3f, 0.6f);
  for (int x = x0 + 6; x < x1; x += 10) {
    FillRect(c, x, y0, x + 3, y1, RgbOf(0x38383C));
    FillRect(c, x, y0, x + 1, y1, RgbOf(0x6A6A70));
  }
  // Shadowed reveal round the opening.
  for (int y = y0; y < y1; ++y) {
    c.Scale(x0, y, 0.5f);
    c.Scale(x1 - 1, y, 0.7f);
  }
  return c;
}

Canvas VentGrille(uint64_t seed) {
  Canvas c = MetalPlates(RgbOf(0x3E5A8A), 64, seed);
  const int x0 = 28, y0 = 28, x1 = 100, y1 = 100;
  FillRect(c, x0, y0, x1, y1, RgbOf(0x18202C));
  for (int y = y0 + 4; y < y1 - 2; y += 8) {
    FillRect(c, x0 + 4, y, x1 - 4, y + 4, RgbOf(0x5A7098));
    FillRect(c, x0 + 4, y, x1 - 4, y + 1, RgbOf(0x8AA0C8));
  }
  Bevel(c, x0, y0, x1, y1, 3, 0.5f, 1.3f);
  return c;
}

using WallMaker = std::function<Canvas()>;

struct WallRecipe {
  char letter;
  WallMaker make;
};

std::vector<WallRecipe> Recipes() {
  const Rgb mortar = RgbOf(0x6A6258);
  return {
      {'A', [] { return Masonry(GreyStone(), 101); }},
      {'B', [] { return Masonry(DarkStone(), 102); }},
      {'C', [=] { return Masonry(Brick(RgbOf(0x9A3A28), mortar), 103); }},
      {'D', [=] { return Masonry(Brick(RgbOf(0xB08A4A), RgbOf(0x5A4A38)), 104); }},
      {'E', [] { return Planks(RgbOf(0xB07C44), 16, 105); }},
      {'F', [] { return Bookshelf(106); }},
      {'G', [] { return MetalPlates(RgbOf(0x3C5A96), 64, 107); }},
      {'H', [] { return MetalPlates(RgbOf(0x7A7C80), 32, 108); }},
      {'I', [] { return MetalDoor(109); }},
      {'J', [] { return WoodDoor(110); }},
      {'K', [] { Canvas c = Masonry(GreyStone(), 111); Banner(c, TeamColour(0), 0); return c; }},
      {'L', [] { Canvas c = Masonry(GreyStone(), 112); Banner(c, TeamColour(1), 1); return c; }},
      {'M', [] { Canvas c = Masonry(GreyStone(), 113); Banner(c, TeamColour(2), 2); return c; }},
      {'N', [] { Canvas c = Masonry(GreyStone(), 114); Banner(c, TeamColour(3), 3); return c; }},
      {'O', [] { Canvas c = Masonry(GreyStone(), 115); Moss(c, 215, 0.45f); return c; }},
      {'P', [=] { Canvas c = Masonry(Brick(RgbOf(0x8A3A2A), mortar), 116); Moss(c, 216, 0.3f); return c; }},
      {'Q',
       [] {
         // Pale glazed tiles with one band of dark blue ones across the middle.
         Canvas c = Tiles(RgbOf(0xE0E0D8), RgbOf(0xB8C8DC), RgbOf(0x8A8A84), 16, 117);
         Canvas band = Tiles(RgbOf(0x2A4A90), RgbOf(0x2A4A90), RgbOf(0x8A8A84), 16, 217);
         for (int y = 48; y < 64; ++y)
           for (int x = 0; x < 128; ++x) c.Set(x, y, band.Get(x, y));
         return c;
       }},
      {'R', [] { return Tiles(RgbOf(0x4A8A5A), RgbOf(0x3A7A4A), RgbOf(0x2A3A2C), 16, 118); }},
      {'S', [] { return CaveRock(119); }},
      {'T',
       [] {
         MasonryStyle s = GreyStone();
         s.rows = 4;
         s.minWidth = 32;
         s.maxWidth = 64;
         s.stone = RgbOf(0xC8A878);
         s.mortarColour = RgbOf(0x8A7050);
         return Masonry(s, 120);
       }},
      {'U', [] { return BarredWindow(121); }},
      {'V', [] { return Concrete(122); }},
      {'W', [] { return Painting(123); }},
      {'X', [] { return VentGrille(124); }},
      {'Y', [] { return BlastDoor(125); }},
      {'Z', [] { return Hedge(126); }},
  };
}

}  // namespace

std::vector<PictureFile> MakeWallTextures() {
  std::vector<PictureFile> out;
  for (const WallRecipe& recipe : Recipes()) AddOpaque(out, std::string("sprites/w") + recipe.letter + ".bmp", recipe.make());
  return out;
}
