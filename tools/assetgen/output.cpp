#include "tools/assetgen/assets.h"

void AddSprite(std::vector<PictureFile>& out, const std::string& path, const Canvas& canvas, Rgb key) {
  // Texel (0, 0) names the transparent colour, so it must be background.
  std::vector<Rgb> pixels = canvas.Flatten(key);
  pixels[0] = key;
  out.push_back({path, canvas.width(), canvas.height(), std::move(pixels)});
}

void AddOpaque(std::vector<PictureFile>& out, const std::string& path, const Canvas& canvas) {
  std::vector<Rgb> pixels = canvas.Flatten(Rgb{});
  for (Rgb& p : pixels)
    if (p == RgbOf(0xFFFFFF)) p = RgbOf(0xFEFEFE);
  out.push_back({path, canvas.width(), canvas.height(), std::move(pixels)});
}

Rgb TeamColour(int team) {
  static const Rgb colours[4] = {RgbOf(0xB02828), RgbOf(0x3C9A30), RgbOf(0x2E56C8), RgbOf(0xE8C828)};
  return colours[team & 3];
}
