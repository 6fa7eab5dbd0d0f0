// The desktop icon: a steel disc with a red crosshair over the letters VX,
// on a transparent background, 256 x 256.
#include "tools/assetgen/assets.h"

namespace {

constexpr int kSize = 256;
constexpr float kCentre = kSize / 2.0f;

void Disc(Canvas& c) {
  FillCircle(c, kCentre, kCentre, 124, RgbOf(0x1A1A1E));
  FillCircle(c, kCentre, kCentre, 116, RgbOf(0x5A5E66));
  // Lit from the top left: a lighter inner disc shifted towards the light.
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const float dx = x - kCentre, dy = y - kCentre;
      if (dx * dx + dy * dy > 116.0f * 116.0f) continue;
      const float light = 1.15f - 0.35f * (dx + dy) / 232.0f;
      c.Scale(x, y, light);
    }
  FillCircle(c, kCentre, kCentre, 96, RgbOf(0x2A2C32));
}

void Crosshair(Canvas& c) {
  const Rgb red = RgbOf(0xC82020);
  for (float r = 78; r < 86; r += 0.5f)
    for (int a = 0; a < 720; ++a) {
      const float t = a * 3.14159265f / 360.0f;
      c.Set(int(kCentre + r * __builtin_cosf(t)), int(kCentre + r * __builtin_sinf(t)), red);
    }
  DrawLine(c, kCentre, 20, kCentre, 70, 8, red);
  DrawLine(c, kCentre, 186, kCentre, 236, 8, red);
  DrawLine(c, 20, kCentre, 70, kCentre, 8, red);
  DrawLine(c, 186, kCentre, 236, kCentre, 8, red);
}

}  // namespace

IconFile MakeIcon() {
  Canvas c(kSize, kSize, Rgb{}, false);
  Disc(c);
  Crosshair(c);
  const int scale = 12;
  const std::string text = "VX";
  const int x = int(kCentre) - Text3x5Width(text, scale) / 2;
  DrawText3x5(c, x + 4, int(kCentre) - 5 * scale / 2 + 4, text, RgbOf(0x101010), scale);
  DrawText3x5(c, x, int(kCentre) - 5 * scale / 2, text, RgbOf(0xE8C828), scale);
  IconFile icon{kSize, kSize, c.Flatten(Rgb{}), {}};
  icon.alpha.resize(size_t(kSize) * kSize);
  for (int y = 0; y < kSize; ++y)
    for (int x2 = 0; x2 < kSize; ++x2) icon.alpha[size_t(y) * kSize + x2] = c.Opaque(x2, y) ? 255 : 0;
  return icon;
}
