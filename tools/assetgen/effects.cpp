// Hit effects, four frames each: blood (kind 0) and bullet puffs (kind 1)
// float at chest height and are 24 x 24; the spawn flash (kind 2) stands on
// the floor as a 48 x 64 column of light.
#include <cmath>

#include "tools/assetgen/assets.h"

namespace {

// Drops thrown out from the centre; `spread` grows with the frame while the
// drops thin out. Drops fall a little as the frames advance.
Canvas BloodFrame(int frame) {
  Canvas c(24, 24, {}, false);
  Rng rng(300 + uint64_t(frame));
  const float spread = 3.0f + frame * 3.0f;
  if (frame < 2) FillCircle(c, 12, 12, 4.5f - frame * 1.5f, RgbOf(0x9A0A0A));
  const int drops = 18 - frame * 3;
  for (int i = 0; i < drops; ++i) {
    const float a = rng.Range(0, 6.283f), r = rng.Range(0.3f, 1.0f) * spread;
    const float x = 12 + r * std::cos(a), y = 12 + r * std::sin(a) * 0.8f + frame * frame * 0.6f;
    const Rgb red = Mix(RgbOf(0x6A0000), RgbOf(0xD02020), rng.Unit());
    FillCircle(c, x, y, rng.Range(0.7f, 1.8f - frame * 0.2f), red);
  }
  return c;
}

// Dust and a spark: a bright core first, then a grey cloud that grows and
// breaks up (no partial transparency, so fading is done by thinning).
Canvas PuffFrame(int frame) {
  Canvas c(24, 24, {}, false);
  Rng rng(400 + uint64_t(frame));
  const float radius = 3.0f + frame * 2.5f;
  const float keep = 1.0f - frame * 0.22f;
  for (int i = 0; i < 60; ++i) {
    const float a = rng.Range(0, 6.283f), r = std::sqrt(rng.Unit()) * radius;
    if (rng.Unit() > keep) continue;
    const Rgb grey = Mix(RgbOf(0x6A6660), RgbOf(0xC8C4BC), rng.Unit());
    FillCircle(c, 12 + r * std::cos(a), 12 + r * std::sin(a) - frame, rng.Range(1.0f, 2.2f), grey);
  }
  if (frame == 0) {
    FillCircle(c, 12, 12, 3, RgbOf(0xFFE080));
    FillCircle(c, 12, 12, 1.5f, RgbOf(0xFFFFE0));
    for (int i = 0; i < 4; ++i) {
      const float a = 0.4f + i * 1.571f;
      DrawLine(c, 12, 12, 12 + 8 * std::cos(a), 12 + 8 * std::sin(a), 1, RgbOf(0xFFD040));
    }
  }
  return c;
}

// A beam of light that flares up and narrows, with rising sparkles.
Canvas SpawnFrame(int frame) {
  Canvas c(48, 64, {}, false);
  static const float widths[4] = {4, 14, 9, 3};
  const float w = widths[frame];
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 48; ++x) {
      const float d = std::fabs(x + 0.5f - 24) / w;
      if (d > 1) continue;
      const float fade = frame == 3 ? 0.6f : 1.0f;
      c.Set(x, y, Mix(RgbOf(0x2A80E0), RgbOf(0xE8F8FF), (1 - d) * fade));
    }
  Rng rng(500 + uint64_t(frame));
  for (int i = 0; i < 10 + frame * 8; ++i) {
    const float x = 24 + rng.Range(-18, 18), y = rng.Range(4, 62) - frame * 6;
    const Rgb spark = Mix(RgbOf(0x80D0FF), RgbOf(0xF0FFFF), rng.Unit());
    c.Set(int(x), int(y), spark);
    c.Set(int(x) + 1, int(y), Scale(spark, 0.8f));
    c.Set(int(x), int(y) + 1, Scale(spark, 0.8f));
  }
  FillEllipse(c, 24, 62, 6 + w * 1.2f, 2, RgbOf(0xB0E8FF));   // glow on the floor
  return c;
}

}  // namespace

std::vector<PictureFile> MakeEffects() {
  std::vector<PictureFile> out;
  for (int frame = 0; frame < 4; ++frame) {
    const std::string suffix = "_" + std::to_string(frame) + ".bmp";
    AddSprite(out, "sprites/e0" + suffix, BloodFrame(frame));
    AddSprite(out, "sprites/e1" + suffix, PuffFrame(frame));
    AddSprite(out, "sprites/e2" + suffix, SpawnFrame(frame));
  }
  return out;
}
