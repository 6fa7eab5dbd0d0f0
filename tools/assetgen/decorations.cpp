// Decorations 'a'..'z', billboards of at most 64 x 64 whose foot stands on
// the floor (64 texels = one wall height). 'a'..'d' can be walked through,
// 'e'..'z' block movement. Ceiling-hung ones (m, n, o, u) have a magenta
// corner and are 32 or 48 texels high so the client hangs them from the top.
//
//   a puddle        h potted plant     o green hanging lamp  v brazier
//   b floor lamp    i table            p tree                w blue oil drum
//   c bones         j suit of armour   q stone well          x dead tree
//   d grass tuft    k wooden crate     r round bush          y boulder
//   e wood barrel   l stone statue     s vase                z street lamp
//   f toxic barrel  m ceiling lamp     t sandbags
//   g stone pillar  n chandelier       u hanging cage
#include <cmath>
#include <functional>

#include "tools/assetgen/assets.h"
#include "tools/assetgen/props.h"
#include "tools/assetgen/scene.h"

namespace {

constexpr int kSize = 64;

Material Matte(Rgb c) { return Material{c, 0.0f, false, nullptr}; }
Material Shiny(Rgb c, float shine) { return Material{c, shine, false, nullptr}; }
Material Glow(Rgb c) { return Material{c, 0.0f, true, nullptr}; }

// Stripes around a cylinder: dark bands at the given heights (0..1).
Material Banded(Rgb body, Rgb band, std::vector<float> bands, float shine, int staves) {
  Material m{body, shine, false, nullptr};
  m.pattern = [=](const SurfacePoint& p, Rgb base) {
    for (float b : bands)
      if (std::fabs(p.local.y - b) < 0.045f) return band;
    if (staves > 0) {
      const float a = (p.local.x + 3.14159f) / 6.28318f * staves;
      if (a - std::floor(a) < 0.12f) return Scale(base, 0.7f);
    }
    return base;
  };
  return m;
}

Camera PropCamera(float pitch = 12) { return Camera{pitch, 1.0f, kSize / 2.0f, kSize - 2.5f}; }

Canvas Render(const Scene& s, float pitch = 12, int height = kSize, float scale = 1.0f) {
  Canvas c(kSize, height, {}, false);
  Camera cam = PropCamera(pitch);
  cam.originY = height - 2.5f;
  cam.scale = scale;
  s.Render(c, cam);
  return c;
}

Canvas Puddle() {
  Canvas c(kSize, kSize, {}, false);
  Rng rng(7);
  FillEllipse(c, 32, 59, 26, 4.5f, RgbOf(0x2A4A6A));
  FillEllipse(c, 22, 58.5f, 14, 3.0f, RgbOf(0x3E6A90));
  FillEllipse(c, 42, 60, 10, 2.0f, RgbOf(0x345C80));
  FillEllipse(c, 26, 57.5f, 6, 1.0f, RgbOf(0x9AC0E0));   // reflection
  FillEllipse(c, 44, 59, 3, 0.8f, RgbOf(0x80A8D0));
  Grain(c, 0, 50, kSize, kSize, 0.05f, rng);
  return c;
}

Canvas FloorLamp() {
  Scene s;
  s.Cylinder({0, 0, 0}, {0, 1.5f, 0}, 7, Shiny(RgbOf(0x3A3A3A), 0.6f));
  s.Cylinder({0, 1, 0}, {0, 46, 0}, 1.2f, Shiny(RgbOf(0x8A7040), 0.8f));
  s.Ellipsoid({0, 47, 0}, {3, 3, 3}, Glow(RgbOf(0xFFF4C0)));
  s.Cylinder({0, 44, 0}, {0, 56, 0}, 9, Matte(RgbOf(0xE8D8A0)));  // shade
  s.Cylinder({0, 55.5f, 0}, {0, 57, 0}, 6, Matte(RgbOf(0xC8B070)));
  Canvas c = Render(s);
  // Light falling out of the shade's bottom edge.
  for (int y = 52; y < 58; ++y)
    for (int x = 24; x < 41; ++x)
      if (c.Opaque(x, y)) c.Scale(x, y, 1.1f);
  return c;
}

Canvas Bones() {
  Scene s;
  const Material bone = Matte(RgbOf(0xD8D0B8));
  s.Ellipsoid({-6, 4, 2}, {5, 4.5f, 5.5f}, bone);   // skull
  s.Ellipsoid({-8, 4.5f, 6.5f}, {1.4f, 1.4f, 1}, Matte(RgbOf(0x201810)));
  s.Ellipsoid({-4, 4.5f, 7.0f}, {1.4f, 1.4f, 1}, Matte(RgbOf(0x201810)));
  s.Ellipsoid({-6, 1.5f, 6.8f}, {2.2f, 0.8f, 1}, Matte(RgbOf(0x403020)));
  s.Capsule({2, 1.2f, -4}, {18, 1.2f, 4}, 1.3f, bone);
  s.Capsule({4, 1.2f, 6}, {16, 1.2f, -2}, 1.2f, bone);
  s.Capsule({-20, 1, -2}, {-10, 1, 8}, 1.2f, bone);
  for (Vec3 knuckle : {Vec3{2, 1.5f, -4}, Vec3{18, 1.5f, 4}, Vec3{4, 1.5f, 6}, Vec3{16, 1.5f, -2}})
    s.Ellipsoid(knuckle, {2, 1.8f, 2}, bone);  // the ends of the long bones
  for (int i = 0; i < 4; ++i) s.Capsule({-2.0f + i * 3, 1, -10}, {0.0f + i * 3, 4, -2}, 0.9f, bone);  // ribs
  return Render(s, 30, kSize, 1.4f);
}

Canvas GrassTuft() {
  Canvas c(kSize, kSize, {}, false);
  Rng rng(11);
  for (int i = 0; i < 40; ++i) {
    const float x = rng.Range(14, 50), lean = rng.Range(-9, 9), h = rng.Range(8, 22);
    const Rgb green = Mix(RgbOf(0x2E5A18), RgbOf(0x8AB838), rng.Unit());
    DrawLine(c, x, 63, x + lean, 63 - h, 1, green);
    DrawLine(c, x + 1, 63, x + lean * 0.9f, 63 - h + 2, 1, Scale(green, 0.8f));
  }
  return c;
}

Canvas WoodBarrel() {
  Scene s;
  s.Cylinder({0, 0, 0}, {0, 32, 0}, 12,
             Banded(RgbOf(0x8A5A2C), RgbOf(0x4A4A50), {0.12f, 0.38f, 0.62f, 0.88f}, 0.2f, 14));
  s.Ellipsoid({0, 16, 0}, {13, 14, 13}, Banded(RgbOf(0x8A5A2C), RgbOf(0x4A4A50), {}, 0.1f, 14));
  return Render(s);
}

Canvas ToxicBarrel() {
  Scene s;
  s.Cylinder({0, 0, 0}, {0, 34, 0}, 11, Banded(RgbOf(0x3A7A30), RgbOf(0x2A4A24), {0.3f, 0.7f}, 0.5f, 0));
  s.Cylinder({0, 33.5f, 0}, {0, 35, 0}, 9, Glow(RgbOf(0x9AF040)));   // glowing ooze on top
  Canvas c = Render(s);
  // A hazard sign painted on the front.
  FillPolygon(c, {{32, 32}, {38, 43}, {26, 43}}, RgbOf(0xE0C020));
  FillRect(c, 31, 35, 33, 40, RgbOf(0x202020));
  c.Set(31, 41, RgbOf(0x202020));
  c.Set(32, 41, RgbOf(0x202020));
  return c;
}

Canvas StonePillar() {
  Scene s;
  Material stone = Matte(RgbOf(0xA09C94));
  stone.pattern = [](const SurfacePoint& p, Rgb base) {
    const float a = (p.local.x + 3.14159f) / 6.28318f * 12;
    return a - std::floor(a) < 0.25f ? Scale(base, 0.78f) : base;  // flutes
  };
  s.Box({0, 3, 0}, {12, 3, 12}, Matte(RgbOf(0x8A8680)));
  s.Box({0, 7, 0}, {10, 1.5f, 10}, Matte(RgbOf(0x989490)));
  s.Cylinder({0, 8, 0}, {0, 56, 0}, 8, stone);
  s.Box({0, 57.5f, 0}, {10, 1.5f, 10}, Matte(RgbOf(0x989490)));
  s.Box({0, 61.5f, 0}, {12, 2.5f, 12}, Matte(RgbOf(0x8A8680)));
  return Render(s, 8, kSize);
}

Canvas PottedPlant() {
  Scene s;
  s.Cylinder({0, 0, 0}, {0, 14, 0}, 8, Banded(RgbOf(0xB05A30), RgbOf(0x8A4020), {0.85f}, 0.2f, 0));
  s.Cylinder({0, 13, 0}, {0, 15, 0}, 9.5f, Matte(RgbOf(0xC06A38)));
  Rng rng(21);
  for (int i = 0; i < 26; ++i) {
    const float a = rng.Range(0, 6.28f), r = rng.Range(0, 9), y = rng.Range(18, 48);
    const Rgb leaf = Mix(RgbOf(0x2A6A20), RgbOf(0x6AB040), rng.Unit());
    s.Ellipsoid({r * std::cos(a), y, r * std::sin(a)}, {rng.Range(3, 6), rng.Range(2, 4), rng.Range(3, 6)}, Matte(leaf),
                RotateZ(rng.Range(-40, 40)));
  }
  s.Capsule({0, 14, 0}, {0, 30, 0}, 1.5f, Matte(RgbOf(0x4A3A20)));
  return Render(s);
}

Canvas Table() {
  Scene s;
  const Material wood = Shiny(RgbOf(0x7A4A24), 0.3f);
  s.Box({0, 22, 0}, {26, 1.6f, 14}, wood);
  for (float x : {-22.0f, 22.0f})
    for (float z : {-10.0f, 10.0f}) s.Box({x, 10, z}, {1.6f, 10.5f, 1.6f}, wood);
  s.Cylinder({-8, 23.5f, 2}, {-8, 25, 2}, 6, Shiny(RgbOf(0xE0E0D8), 0.6f));       // plate
  s.Cylinder({10, 23.5f, -2}, {10, 34, -2}, 2.2f, Shiny(RgbOf(0x2A6A3A), 0.9f));  // bottle
  s.Cylinder({10, 34, -2}, {10, 38, -2}, 0.9f, Shiny(RgbOf(0x2A6A3A), 0.9f));
  s.Ellipsoid({-8, 27, 2}, {3.5f, 2.5f, 3.5f}, Matte(RgbOf(0xA86A30)));          // bread
  return Render(s, 18);
}

Canvas SuitOfArmour() {
  Scene s;
  const Material steel = Shiny(RgbOf(0x9CA2AC), 0.9f);
  const Material dark = Shiny(RgbOf(0x5A606A), 0.6f);
  s.Box({0, 2, 0}, {10, 2, 7}, Matte(RgbOf(0x6A6660)));  // stand
  for (float side : {-4.0f, 4.0f}) {
    s.Capsule({side, 5, 0}, {side, 24, 0}, 3.2f, steel);
    s.Ellipsoid({side, 15, 1}, {3.5f, 2.5f, 3.5f}, dark);  // knee
  }
  s.Ellipsoid({0, 34, 0}, {9, 11, 6}, steel);
  s.Ellipsoid({0, 26, 0}, {8, 3, 5.5f}, dark);
  for (float side : {-1.0f, 1.0f}) {
    s.Ellipsoid({side * 10, 42, 0}, {4.5f, 3.5f, 4.5f}, steel);  // pauldrons
    s.Capsule({side * 11, 41, 0}, {side * 11, 28, 3}, 2.5f, steel);
  }
  s.Ellipsoid({0, 50, 0}, {5, 6, 5.5f}, steel);
  s.Box({0, 49.5f, 4.6f}, {3.5f, 0.6f, 1}, Matte(RgbOf(0x101010)));  // visor slit
  s.Ellipsoid({0, 57, -1}, {1.5f, 3, 4}, Matte(RgbOf(0xA02020)));   // plume
  s.Cylinder({13, 2, 4}, {13, 62, 4}, 1.0f, Matte(RgbOf(0x5A3A1A)));  // halberd
  s.Box({15, 56, 4}, {3.5f, 4, 0.5f}, steel);
  return Render(s, 8);
}

Canvas WoodenCrate() {
  Scene s;
  Material planks = Matte(RgbOf(0xA87A44));
  planks.pattern = [](const SurfacePoint& p, Rgb base) {
    const float u = std::fabs(p.local.x) > 13.5f || std::fabs(p.local.y) > 13.5f || std::fabs(p.local.z) > 13.5f ? 1 : 0;
    const float along = std::fabs(p.normal.y) > 0.5f ? p.local.x : p.local.y;
    if (std::fabs(std::fmod(along + 30, 7.0f)) < 0.8f) return Scale(base, 0.6f);
    return u > 0 ? Scale(base, 0.8f) : base;
  };
  s.Box({0, 15, 0}, {15, 15, 15}, planks, RotateY(20));
  return Render(s, 14);
}

Canvas Statue() {
  Scene s;
  s.Box({0, 6, 0}, {12, 6, 10}, Matte(RgbOf(0x7A7670)));
  s.Box({0, 12.5f, 0}, {13, 1, 11}, Matte(RgbOf(0x8A8680)));
  Canvas c = Render(s, 8);
  Canvas figure = StoneFigure();
  c.Paste(figure, 0, -12);
  return c;
}

Canvas CeilingLamp() {
  Scene s;
  s.Cylinder({0, 20, 0}, {0, 32, 0}, 0.6f, Matte(RgbOf(0x202020)));
  s.Ellipsoid({0, 14, 0}, {11, 7, 11}, Shiny(RgbOf(0xB8B0A0), 0.7f));
  s.Ellipsoid({0, 9, 0}, {4, 3, 4}, Glow(RgbOf(0xFFF8D0)));
  Canvas c = Render(s, -10, 32);
  return c;
}

Canvas Chandelier() {
  Scene s;
  const Material gold = Shiny(RgbOf(0xC8A040), 0.9f);
  s.Cylinder({0, 14, 0}, {0, 32, 0}, 0.7f, Matte(RgbOf(0x403020)));
  s.Ellipsoid({0, 12, 0}, {3, 4, 3}, gold);
  for (int i = 0; i < 6; ++i) {
    const float a = i * 1.0472f, x = 18 * std::cos(a), z = 9 * std::sin(a);
    s.Capsule({0, 12, 0}, {x, 8, z}, 1.0f, gold);
    s.Cylinder({x, 8, z}, {x, 13, z}, 1.4f, Matte(RgbOf(0xF0E8D0)));   // candle
    s.Ellipsoid({x, 15, z}, {1.2f, 2.2f, 1.2f}, Glow(RgbOf(0xFFC040)));
  }
  s.Ellipsoid({0, 8, 0}, {18, 1.2f, 9}, gold);
  return Render(s, -10, 32);
}

Canvas GreenHangingLamp() {
  Scene s;
  s.Cylinder({0, 18, 0}, {0, 32, 0}, 0.6f, Matte(RgbOf(0x202020)));
  s.Cylinder({0, 8, 0}, {0, 18, 0}, 12, Shiny(RgbOf(0x2A7A3A), 0.8f));
  s.Ellipsoid({0, 8, 0}, {5, 2, 5}, Glow(RgbOf(0xFFFFC0)));
  return Render(s, -14, 32);
}

Canvas Tree() {
  Scene s;
  const Material bark = Matte(RgbOf(0x5A3E24));
  s.Capsule({0, 0, 0}, {1, 30, 0}, 4, bark);
  s.Capsule({1, 24, 0}, {-9, 36, 0}, 2, bark);
  s.Capsule({1, 26, 0}, {10, 38, 2}, 2, bark);
  Rng rng(31);
  for (int i = 0; i < 30; ++i) {
    const float a = rng.Range(0, 6.28f), r = rng.Range(0, 14);
    const Rgb leaf = Mix(RgbOf(0x1E4A18), RgbOf(0x5A9A30), rng.Unit());
    s.Ellipsoid({r * std::cos(a), rng.Range(34, 54), r * std::sin(a)}, {rng.Range(5, 9), rng.Range(4, 7), rng.Range(5, 9)}, Matte(leaf));
  }
  return Render(s, 8);
}

Canvas Well() {
  Scene s;
  Material stone = Matte(RgbOf(0x8A8478));
  stone.pattern = [](const SurfacePoint& p, Rgb base) {
    const int row = int(p.local.y * 4);
    const float a = (p.local.x + 3.14159f) / 6.28318f * 10 + row * 0.5f;
    if (a - std::floor(a) < 0.1f || std::fmod(p.local.y * 4, 1.0f) < 0.1f) return Scale(base, 0.6f);
    return base;
  };
  s.Cylinder({0, 0, 0}, {0, 16, 0}, 16, stone);
  s.Cylinder({0, 15, 0}, {0, 16.5f, 0}, 13, Matte(RgbOf(0x101820)));   // dark water inside
  const Material wood = Matte(RgbOf(0x6A4424));
  for (float x : {-14.0f, 14.0f}) s.Box({x, 30, 0}, {1.5f, 15, 1.5f}, wood);
  s.Cylinder({-14, 36, 0}, {14, 36, 0}, 1.5f, wood);                    // windlass
  s.Box({0, 48, 0}, {20, 1.5f, 11}, Matte(RgbOf(0x8A3A24)), RotateX(0));
  s.Box({0, 51, 0}, {17, 2, 8}, Matte(RgbOf(0x7A3020)));
  s.Cylinder({0, 24, 0}, {0, 36, 0}, 0.5f, Matte(RgbOf(0xA09060)));    // rope
  s.Box({0, 22, 0}, {2.5f, 2.5f, 2.5f}, Matte(RgbOf(0x5A3A1A)));         // bucket
  return Render(s, 14);
}

Canvas Bush() {
  Scene s;
  Rng rng(41);
  for (int i = 0; i < 24; ++i) {
    const float a = rng.Range(0, 6.28f), r = rng.Range(0, 12);
    const Rgb leaf = Mix(RgbOf(0x224A1A), RgbOf(0x5AA038), rng.Unit());
    s.Ellipsoid({r * std::cos(a), rng.Range(8, 22), r * std::sin(a)}, {rng.Range(6, 9), rng.Range(5, 8), rng.Range(6, 9)}, Matte(leaf));
  }
  return Render(s, 10);
}

Canvas Vase() {
  Scene s;
  Material porcelain = Shiny(RgbOf(0xE8E8F0), 0.9f);
  porcelain.pattern = [](const SurfacePoint& p, Rgb base) {
    const float band = std::sin(p.local.x * 6) * 2 + p.world.y;
    if (std::fabs(std::fmod(band + 100, 8.0f) - 4) < 1.2f) return RgbOf(0x2A4AA0);
    return base;
  };
  s.Ellipsoid({0, 14, 0}, {10, 13, 10}, porcelain);
  s.Cylinder({0, 24, 0}, {0, 32, 0}, 4.5f, porcelain);
  s.Cylinder({0, 31, 0}, {0, 33, 0}, 6.5f, Shiny(RgbOf(0x2A4AA0), 0.8f));
  s.Cylinder({0, 0, 0}, {0, 3, 0}, 6, Shiny(RgbOf(0x2A4AA0), 0.8f));
  return Render(s);
}

Canvas Sandbags() {
  Scene s;
  // A pyramid of sacks, each a slightly different shade of canvas.
  for (int row = 0; row < 3; ++row)
    for (int i = 0; i < 3 - row; ++i) {
      const float x = (i - (2 - row) / 2.0f) * 16;
      s.Ellipsoid({x, 4.5f + row * 8, 0}, {8.5f, 4.8f, 6}, Matte(Scale(RgbOf(0xB0A070), 0.9f + 0.05f * ((i + row) % 3))));
    }
  return Render(s, 14);
}

Canvas HangingCage() {
  Scene s;
  const Material iron = Shiny(RgbOf(0x3A3630), 0.5f);
  s.Cylinder({0, 36, 0}, {0, 48, 0}, 0.6f, iron);                 // chain
  s.Cylinder({0, 4, 0}, {0, 6, 0}, 11, iron);
  s.Cylinder({0, 34, 0}, {0, 36, 0}, 11, iron);
  const Material bone = Matte(RgbOf(0xD8D0B8));
  s.Ellipsoid({-2, 22, 1}, {4, 4.5f, 4}, bone);
  s.Ellipsoid({-3.5f, 22, 4.5f}, {1.1f, 1.2f, 0.8f}, Matte(RgbOf(0x201810)));
  s.Ellipsoid({-0.5f, 22, 4.8f}, {1.1f, 1.2f, 0.8f}, Matte(RgbOf(0x201810)));
  s.Capsule({-2, 17, 0}, {0, 8, 0}, 1.2f, bone);
  s.Capsule({2, 16, -1}, {7, 8, 2}, 1.0f, bone);
  for (int i = 0; i < 10; ++i) {
    const float a = i * 0.6283f;
    s.Cylinder({11 * std::cos(a), 5, 11 * std::sin(a)}, {11 * std::cos(a), 35, 11 * std::sin(a)}, 0.8f, iron);
  }
  return Render(s, -6, 48);
}

Canvas Brazier() {
  Scene s;
  const Material iron = Shiny(RgbOf(0x3A3A3C), 0.6f);
  for (int i = 0; i < 3; ++i) {
    const float a = i * 2.094f + 0.5f;
    s.Capsule({9 * std::cos(a), 0, 9 * std::sin(a)}, {3 * std::cos(a), 20, 3 * std::sin(a)}, 1.1f, iron);
  }
  s.Ellipsoid({0, 24, 0}, {12, 5, 12}, iron);
  s.Ellipsoid({0, 28, 0}, {10, 2, 10}, Glow(RgbOf(0xC03010)));
  Rng rng(51);
  // Tongues of flame, tall orange ones behind and short yellow ones in front.
  for (int i = 0; i < 9; ++i) {
    const float t = i / 8.0f;
    s.Ellipsoid({rng.Range(-8, 8), 30 + (1 - t) * 6, -4 + t * 8}, {1.8f, 3 + (1 - t) * 7, 1.8f},
                Glow(Mix(RgbOf(0xE04010), RgbOf(0xFFE870), t)), RotateZ(rng.Range(-15, 15)));
  }
  return Render(s, 10);
}

Canvas OilDrum() {
  Scene s;
  s.Cylinder({0, 0, 0}, {0, 36, 0}, 11, Banded(RgbOf(0x2A5AB0), RgbOf(0x1A3A80), {0.33f, 0.66f}, 0.6f, 0));
  s.Cylinder({0, 35, 0}, {0, 36.5f, 0}, 10, Shiny(RgbOf(0x3A6AC0), 0.5f));
  s.Cylinder({5, 36, 2}, {5, 37.5f, 2}, 1.8f, Shiny(RgbOf(0x808890), 0.8f));   // bung
  Canvas c = Render(s);
  DrawText3x5(c, 26, 28, "OIL", RgbOf(0xE8E8E0));
  return c;
}

Canvas DeadTree() {
  Scene s;
  const Material wood = Matte(RgbOf(0x6A5A4A));
  s.Capsule({0, 0, 0}, {2, 34, 0}, 3.5f, wood);
  s.Capsule({2, 34, 0}, {-4, 52, 0}, 2.2f, wood);
  s.Capsule({1, 22, 0}, {-14, 36, 2}, 2.0f, wood);
  s.Capsule({-14, 36, 2}, {-18, 46, 0}, 1.2f, wood);
  s.Capsule({2, 28, 0}, {16, 44, -2}, 2.0f, wood);
  s.Capsule({16, 44, -2}, {22, 50, 0}, 1.0f, wood);
  s.Capsule({2, 40, 0}, {10, 58, 0}, 1.3f, wood);
  s.Capsule({-4, 52, 0}, {-10, 60, 0}, 1.0f, wood);
  return Render(s, 8);
}

Canvas Boulder() {
  Scene s;
  Rng rng(61);
  for (int i = 0; i < 6; ++i)
    s.Ellipsoid({rng.Range(-8, 8), rng.Range(8, 16), rng.Range(-4, 4)}, {rng.Range(8, 13), rng.Range(7, 11), rng.Range(8, 11)},
                Matte(Mix(RgbOf(0x6A6258), RgbOf(0x9A9080), rng.Unit())), RotateZ(rng.Range(-30, 30)));
  return Render(s, 12, kSize, 1.5f);
}

Canvas StreetLamp() {
  Scene s;
  const Material iron = Shiny(RgbOf(0x2A2E2A), 0.6f);
  s.Cylinder({0, 0, 0}, {0, 4, 0}, 4, iron);
  s.Cylinder({0, 4, 0}, {0, 50, 0}, 1.5f, iron);
  s.Box({0, 54, 0}, {4, 4, 4}, Glow(RgbOf(0xFFE8A0)));
  s.Box({0, 58.5f, 0}, {5.5f, 0.8f, 5.5f}, iron);
  s.Ellipsoid({0, 60, 0}, {2, 1.5f, 2}, iron);
  s.Box({0, 49.5f, 0}, {4.5f, 0.7f, 4.5f}, iron);
  for (float x : {-4.0f, 4.0f}) s.Box({x, 54, -4}, {0.4f, 4, 0.4f}, iron);
  return Render(s, 6);
}

struct Decoration {
  char letter;
  std::function<Canvas()> make;
  bool hung;
};

}  // namespace

std::vector<PictureFile> MakeDecorations() {
  const Decoration decorations[] = {
      {'a', Puddle, false},      {'b', FloorLamp, false},     {'c', Bones, false},
      {'d', GrassTuft, false},   {'e', WoodBarrel, false},    {'f', ToxicBarrel, false},
      {'g', StonePillar, false}, {'h', PottedPlant, false},   {'i', Table, false},
      {'j', SuitOfArmour, false}, {'k', WoodenCrate, false},  {'l', Statue, false},
      {'m', CeilingLamp, true},  {'n', Chandelier, true},     {'o', GreenHangingLamp, true},
      {'p', Tree, false},        {'q', Well, false},          {'r', Bush, false},
      {'s', Vase, false},        {'t', Sandbags, false},      {'u', HangingCage, true},
      {'v', Brazier, false},     {'w', OilDrum, false},       {'x', DeadTree, false},
      {'y', Boulder, false},     {'z', StreetLamp, false},
  };
  std::vector<PictureFile> out;
  for (const Decoration& d : decorations) {
    Canvas c = d.make();
    if (!d.hung) SettleOnFloor(c);
    Outline(c, RgbOf(0x181410));
    AddSprite(out, std::string("sprites/d") + d.letter + ".bmp", c, d.hung ? kCeilingKey : kSpriteKey);
  }
  return out;
}
