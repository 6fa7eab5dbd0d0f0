#include "tools/assetgen/canvas.h"

#include <algorithm>
#include <cmath>

namespace {

uint8_t ClampByte(float v) {
  return uint8_t(std::clamp(v + 0.5f, 0.0f, 255.0f));
}

}  // namespace

Rgb Scale(Rgb c, float factor) {
  return Rgb{ClampByte(c.r * factor), ClampByte(c.g * factor), ClampByte(c.b * factor)};
}

Rgb Mix(Rgb a, Rgb b, float t) {
  return Rgb{ClampByte(a.r + (b.r - a.r) * t), ClampByte(a.g + (b.g - a.g) * t),
             ClampByte(a.b + (b.b - a.b) * t)};
}

Rgb Offset(Rgb c, int delta) {
  return Rgb{ClampByte(float(c.r + delta)), ClampByte(float(c.g + delta)),
             ClampByte(float(c.b + delta))};
}

Canvas::Canvas(int width, int height, Rgb fill, bool opaque)
    : width_(width), height_(height), pixels_(size_t(width) * height, fill),
      mask_(size_t(width) * height, opaque ? 1 : 0) {}

void Canvas::Set(int x, int y, Rgb c) {
  if (!Inside(x, y)) return;
  pixels_[Index(x, y)] = c;
  mask_[Index(x, y)] = 1;
}

void Canvas::Clear(int x, int y) {
  if (Inside(x, y)) mask_[Index(x, y)] = 0;
}

void Canvas::Scale(int x, int y, float factor) {
  if (Opaque(x, y)) pixels_[Index(x, y)] = ::Scale(pixels_[Index(x, y)], factor);
}

void Canvas::Blend(int x, int y, Rgb c, float alpha) {
  if (!Inside(x, y)) return;
  if (!Opaque(x, y)) {
    if (alpha >= 0.5f) Set(x, y, c);
    return;
  }
  pixels_[Index(x, y)] = Mix(pixels_[Index(x, y)], c, alpha);
}

Canvas Canvas::MirroredX() const {
  Canvas out(width_, height_, {}, false);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x)
      if (Opaque(x, y)) out.Set(width_ - 1 - x, y, Get(x, y));
  return out;
}

void Canvas::Paste(const Canvas& src, int x, int y) {
  for (int sy = 0; sy < src.height(); ++sy)
    for (int sx = 0; sx < src.width(); ++sx)
      if (src.Opaque(sx, sy)) Set(x + sx, y + sy, src.Get(sx, sy));
}

std::vector<Rgb> Canvas::Flatten(Rgb key) const {
  std::vector<Rgb> out(pixels_.size());
  for (size_t i = 0; i < out.size(); ++i) {
    Rgb c = pixels_[i];
    if (!mask_[i]) {
      c = key;
    } else if (c == key) {
      c.g = uint8_t(c.g < 128 ? c.g + 1 : c.g - 1);
    }
    out[i] = c;
  }
  return out;
}

uint64_t Rng::Next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

float Rng::Unit() { return float(Next() >> 40) / float(1ull << 24); }

int Rng::Int(int lo, int hi) { return lo + int(Next() % uint64_t(hi - lo + 1)); }

TileNoise::TileNoise(uint64_t seed, int period) : period_(period), values_(size_t(period) * period) {
  Rng rng(seed);
  for (float& v : values_) v = rng.Unit();
}

float TileNoise::Lattice(int x, int y) const {
  x = ((x % period_) + period_) % period_;
  y = ((y % period_) + period_) % period_;
  return values_[size_t(y) * period_ + x];
}

float TileNoise::At(float x, float y, int cell) const {
  // Lattice points every `cell` pixels; the lattice wraps with the period
  // divided by the cell size so the noise repeats with the texture.
  const int wrap = std::max(1, period_ / cell);
  const float fx = x / cell, fy = y / cell;
  const int ix = int(std::floor(fx)), iy = int(std::floor(fy));
  float tx = fx - ix, ty = fy - iy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  auto lat = [&](int a, int b) { return Lattice(((a % wrap) + wrap) % wrap + cell * 7, ((b % wrap) + wrap) % wrap + cell * 3); };
  const float top = lat(ix, iy) + (lat(ix + 1, iy) - lat(ix, iy)) * tx;
  const float bottom = lat(ix, iy + 1) + (lat(ix + 1, iy + 1) - lat(ix, iy + 1)) * tx;
  return top + (bottom - top) * ty;
}

float TileNoise::Fractal(float x, float y, int cell, int octaves) const {
  float sum = 0, weight = 1, total = 0;
  for (int o = 0; o < octaves && cell >= 1; ++o) {
    sum += At(x, y, cell) * weight;
    total += weight;
    weight *= 0.5f;
    cell /= 2;
  }
  return sum / total;
}

void FillRect(Canvas& c, int x0, int y0, int x1, int y1, Rgb colour) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) c.Set(x, y, colour);
}

void FillEllipse(Canvas& c, float cx, float cy, float rx, float ry, Rgb colour) {
  for (int y = int(std::floor(cy - ry)); y <= int(std::ceil(cy + ry)); ++y)
    for (int x = int(std::floor(cx - rx)); x <= int(std::ceil(cx + rx)); ++x) {
      const float dx = (x + 0.5f - cx) / rx, dy = (y + 0.5f - cy) / ry;
      if (dx * dx + dy * dy <= 1.0f) c.Set(x, y, colour);
    }
}

void FillCircle(Canvas& c, float cx, float cy, float r, Rgb colour) {
  FillEllipse(c, cx, cy, r, r, colour);
}

void FillPolygon(Canvas& c, const std::vector<std::pair<float, float>>& points, Rgb colour) {
  // Even-odd scanline fill sampled at pixel centres.
  float minY = 1e9f, maxY = -1e9f;
  for (auto [x, y] : points) {
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  }
  for (int y = int(std::floor(minY)); y <= int(std::ceil(maxY)); ++y) {
    const float sy = y + 0.5f;
    std::vector<float> crossings;
    for (size_t i = 0; i < points.size(); ++i) {
      auto [ax, ay] = points[i];
      auto [bx, by] = points[(i + 1) % points.size()];
      if ((ay <= sy && by > sy) || (by <= sy && ay > sy))
        crossings.push_back(ax + (sy - ay) / (by - ay) * (bx - ax));
    }
    std::sort(crossings.begin(), crossings.end());
    for (size_t i = 0; i + 1 < crossings.size(); i += 2)
      for (int x = int(std::ceil(crossings[i] - 0.5f)); x + 0.5f <= crossings[i + 1]; ++x) c.Set(x, y, colour);
  }
}

void DrawLine(Canvas& c, float x0, float y0, float x1, float y1, float thickness, Rgb colour) {
  const float length = std::hypot(x1 - x0, y1 - y0);
  const int steps = std::max(1, int(length * 2));
  for (int i = 0; i <= steps; ++i) {
    const float t = float(i) / steps;
    const float x = x0 + (x1 - x0) * t, y = y0 + (y1 - y0) * t;
    if (thickness <= 1.0f)
      c.Set(int(std::floor(x)), int(std::floor(y)), colour);
    else
      FillCircle(c, x, y, thickness / 2, colour);
  }
}

void VerticalGradient(Canvas& c, int x0, int y0, int x1, int y1, Rgb top, Rgb bottom) {
  for (int y = y0; y < y1; ++y) {
    const Rgb row = Mix(top, bottom, y1 - y0 > 1 ? float(y - y0) / float(y1 - y0 - 1) : 0.0f);
    for (int x = x0; x < x1; ++x) c.Set(x, y, row);
  }
}

void Bevel(Canvas& c, int x0, int y0, int x1, int y1, int size, float light, float dark) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const int fromTopLeft = std::min(x - x0, y - y0);
      const int fromBottomRight = std::min(x1 - 1 - x, y1 - 1 - y);
      if (fromBottomRight < size && fromBottomRight <= fromTopLeft)
        c.Scale(x, y, dark);
      else if (fromTopLeft < size)
        c.Scale(x, y, light);
    }
}

Canvas RolledX(const Canvas& c, int dx) {
  Canvas out(c.width(), c.height(), {}, false);
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x)
      if (c.Opaque(x, y)) out.Set((x + dx) % c.width(), y, c.Get(x, y));
  return out;
}

void SettleOnFloor(Canvas& c) {
  int lowest = -1;
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x)
      if (c.Opaque(x, y)) lowest = y;
  const int shift = c.height() - 1 - lowest;
  if (lowest < 0 || shift == 0) return;
  Canvas moved(c.width(), c.height(), {}, false);
  moved.Paste(c, 0, shift);
  c = moved;
}

void Outline(Canvas& c, Rgb colour) {
  std::vector<std::pair<int, int>> edge;
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x)
      if (!c.Opaque(x, y) &&
          (c.Opaque(x - 1, y) || c.Opaque(x + 1, y) || c.Opaque(x, y - 1) || c.Opaque(x, y + 1)))
        edge.emplace_back(x, y);
  for (auto [x, y] : edge) c.Set(x, y, colour);
}

void Grain(Canvas& c, int x0, int y0, int x1, int y1, float amount, Rng& rng) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) c.Scale(x, y, 1.0f + rng.Range(-amount, amount));
}

void ShadeEllipse(Canvas& c, float cx, float cy, float rx, float ry, float factor) {
  for (int y = int(std::floor(cy - ry)); y <= int(std::ceil(cy + ry)); ++y)
    for (int x = int(std::floor(cx - rx)); x <= int(std::ceil(cx + rx)); ++x) {
      const float dx = (x + 0.5f - cx) / rx, dy = (y + 0.5f - cy) / ry;
      const float d = dx * dx + dy * dy;
      if (d <= 1.0f) c.Scale(x, y, 1.0f - (1.0f - factor) * (1.0f - d));
    }
}

float CylinderShade(float x, float centre, float radius) {
  const float u = std::clamp((x - centre) / radius, -1.0f, 1.0f);
  // Surface normal of the cylinder against a light from the front left.
  const float nz = std::sqrt(std::max(0.0f, 1 - u * u));
  const float lit = std::max(0.0f, -0.45f * u + 0.89f * nz);
  return 0.35f + 0.85f * lit;
}

namespace {

struct Glyph {
  char ch;
  const char* rows[5];  // three columns each, '#' set
};

constexpr Glyph kFont[] = {
    {'A', {".#.", "#.#", "###", "#.#", "#.#"}},
    {'B', {"##.", "#.#", "##.", "#.#", "##."}},
    {'C', {".##", "#..", "#..", "#..", ".##"}},
    {'D', {"##.", "#.#", "#.#", "#.#", "##."}},
    {'E', {"###", "#..", "##.", "#..", "###"}},
    {'F', {"###", "#..", "##.", "#..", "#.."}},
    {'G', {".##", "#..", "#.#", "#.#", ".##"}},
    {'H', {"#.#", "#.#", "###", "#.#", "#.#"}},
    {'I', {"###", ".#.", ".#.", ".#.", "###"}},
    {'J', {"..#", "..#", "..#", "#.#", ".#."}},
    {'K', {"#.#", "#.#", "##.", "#.#", "#.#"}},
    {'L', {"#..", "#..", "#..", "#..", "###"}},
    {'M', {"#.#", "###", "###", "#.#", "#.#"}},
    {'N', {"##.", "#.#", "#.#", "#.#", "#.#"}},
    {'O', {".#.", "#.#", "#.#", "#.#", ".#."}},
    {'P', {"##.", "#.#", "##.", "#..", "#.."}},
    {'Q', {".#.", "#.#", "#.#", "##.", ".##"}},
    {'R', {"##.", "#.#", "##.", "#.#", "#.#"}},
    {'S', {".##", "#..", ".#.", "..#", "##."}},
    {'T', {"###", ".#.", ".#.", ".#.", ".#."}},
    {'U', {"#.#", "#.#", "#.#", "#.#", "###"}},
    {'V', {"#.#", "#.#", "#.#", "#.#", ".#."}},
    {'W', {"#.#", "#.#", "###", "###", "#.#"}},
    {'X', {"#.#", "#.#", ".#.", "#.#", "#.#"}},
    {'Y', {"#.#", "#.#", ".#.", ".#.", ".#."}},
    {'Z', {"###", "..#", ".#.", "#..", "###"}},
    {'0', {"###", "#.#", "#.#", "#.#", "###"}},
    {'1', {".#.", "##.", ".#.", ".#.", "###"}},
    {'2', {"##.", "..#", ".#.", "#..", "###"}},
    {'3', {"##.", "..#", ".#.", "..#", "##."}},
    {'4', {"#.#", "#.#", "###", "..#", "..#"}},
    {'5', {"###", "#..", "##.", "..#", "##."}},
    {'6', {".##", "#..", "###", "#.#", "###"}},
    {'7', {"###", "..#", ".#.", ".#.", ".#."}},
    {'8', {"###", "#.#", "###", "#.#", "###"}},
    {'9', {"###", "#.#", "###", "..#", "##."}},
    {'+', {"...", ".#.", "###", ".#.", "..."}},
    {'-', {"...", "...", "###", "...", "..."}},
    {':', {"...", ".#.", "...", ".#.", "..."}},
    {'.', {"...", "...", "...", "...", ".#."}},
    {' ', {"...", "...", "...", "...", "..."}},
};

}  // namespace

int Text3x5Width(const std::string& text, int scale) {
  return text.empty() ? 0 : int(text.size()) * 4 * scale - scale;
}

void DrawText3x5(Canvas& c, int x, int y, const std::string& text, Rgb colour, int scale) {
  for (char ch : text) {
    for (const Glyph& g : kFont) {
      if (g.ch != ch) continue;
      for (int gy = 0; gy < 5; ++gy)
        for (int gx = 0; gx < 3; ++gx)
          if (g.rows[gy][gx] == '#') FillRect(c, x + gx * scale, y + gy * scale, x + (gx + 1) * scale, y + (gy + 1) * scale, colour);
    }
    x += 4 * scale;
  }
}
