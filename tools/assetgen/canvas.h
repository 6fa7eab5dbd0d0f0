// A picture under construction and the small drawing helpers every
// generator shares: shapes, gradients, bevels, outlines and noise.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

constexpr Rgb RgbOf(uint32_t hex) {
  return Rgb{uint8_t(hex >> 16), uint8_t(hex >> 8), uint8_t(hex)};
}

// Brightness factor applied per channel, clamped to 0..255.
Rgb Scale(Rgb c, float factor);
// Linear blend from a (t = 0) to b (t = 1).
Rgb Mix(Rgb a, Rgb b, float t);
// Adds the same offset to every channel, clamped.
Rgb Offset(Rgb c, int delta);

// Colours plus a coverage mask: sprites decide their transparent key colour
// only when written, so no drawn pixel can be mistaken for background.
class Canvas {
 public:
  Canvas(int width, int height, Rgb fill = {}, bool opaque = true);

  int width() const { return width_; }
  int height() const { return height_; }
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  Rgb Get(int x, int y) const { return pixels_[Index(x, y)]; }
  bool Opaque(int x, int y) const { return Inside(x, y) && mask_[Index(x, y)] != 0; }

  void Set(int x, int y, Rgb c);          // clipped; marks the pixel opaque
  void Clear(int x, int y);               // makes the pixel transparent
  void Scale(int x, int y, float factor); // darkens or lightens an opaque pixel
  void Blend(int x, int y, Rgb c, float alpha);  // over whatever is there

  // Mirrored left to right, used for symmetric art drawn half at a time.
  Canvas MirroredX() const;
  // Copies src with its top-left corner at (x, y); transparent pixels skipped.
  void Paste(const Canvas& src, int x, int y);

  // The final colours: transparent pixels become key, and drawn pixels that
  // happen to equal key are nudged so they stay visible.
  std::vector<Rgb> Flatten(Rgb key) const;

 private:
  int Index(int x, int y) const { return y * width_ + x; }
  int width_, height_;
  std::vector<Rgb> pixels_;
  std::vector<uint8_t> mask_;
};

// Fixed-seed generator (SplitMix64): the same numbers on every run.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  float Unit();                          // 0 <= value < 1
  float Range(float lo, float hi) { return lo + (hi - lo) * Unit(); }
  int Int(int lo, int hi);               // lo..hi inclusive

 private:
  uint64_t state_;
};

// Smooth value noise that repeats every `period` pixels in x and y, so
// textures built from it tile seamlessly.
class TileNoise {
 public:
  TileNoise(uint64_t seed, int period);
  float At(float x, float y, int cell) const;           // one octave, 0..1
  float Fractal(float x, float y, int cell, int octaves) const;  // 0..1

 private:
  float Lattice(int x, int y) const;
  int period_;
  std::vector<float> values_;
};

void FillRect(Canvas& c, int x0, int y0, int x1, int y1, Rgb colour);  // x1, y1 exclusive
void FillEllipse(Canvas& c, float cx, float cy, float rx, float ry, Rgb colour);
void FillCircle(Canvas& c, float cx, float cy, float r, Rgb colour);
void FillPolygon(Canvas& c, const std::vector<std::pair<float, float>>& points, Rgb colour);
void DrawLine(Canvas& c, float x0, float y0, float x1, float y1, float thickness, Rgb colour);
void VerticalGradient(Canvas& c, int x0, int y0, int x1, int y1, Rgb top, Rgb bottom);
// Lit top and left edges, shadowed bottom and right: raised panels.
void Bevel(Canvas& c, int x0, int y0, int x1, int y1, int size, float light, float dark);
// The picture shifted right by dx with wrap-around; a tile stays a tile.
Canvas RolledX(const Canvas& c, int dx);
// Moves the drawing down so its lowest pixel sits on the bottom row: the
// client stands billboards on the floor by their bottom edge.
void SettleOnFloor(Canvas& c);
// Marks every transparent pixel that touches an opaque one with colour.
void Outline(Canvas& c, Rgb colour);
// Multiplies every opaque pixel in the rectangle by 1 +- amount noise.
void Grain(Canvas& c, int x0, int y0, int x1, int y1, float amount, Rng& rng);
// Darkens the opaque pixels of a filled ellipse (soft shadow or stain).
void ShadeEllipse(Canvas& c, float cx, float cy, float rx, float ry, float factor);
// Shading of a vertical cylinder seen from the front: bright left of centre.
float CylinderShade(float x, float centre, float radius);

// A tiny 3x5 pixel font (capital letters, digits and a few signs).
void DrawText3x5(Canvas& c, int x, int y, const std::string& text, Rgb colour, int scale = 1);
int Text3x5Width(const std::string& text, int scale = 1);
