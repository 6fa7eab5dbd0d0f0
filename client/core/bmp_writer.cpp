#include "client/core/bmp_writer.h"

#include <cstdio>

namespace {

void PutLe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

bool WriteBmpFile(const std::string& path, const std::vector<uint32_t>& pixels, int w, int h) {
  if (w <= 0 || h <= 0 || pixels.size() < static_cast<size_t>(w) * static_cast<size_t>(h)) return false;
  const uint32_t row_bytes = (static_cast<uint32_t>(w) * 3 + 3) & ~3u;
  const uint32_t image_bytes = row_bytes * static_cast<uint32_t>(h);
  std::vector<uint8_t> file;
  file.reserve(54 + image_bytes);
  file.push_back('B');
  file.push_back('M');
  PutLe(file, 54 + image_bytes, 4);
  PutLe(file, 0, 4);
  PutLe(file, 54, 4);   // pixel data offset
  PutLe(file, 40, 4);   // BITMAPINFOHEADER
  PutLe(file, static_cast<uint32_t>(w), 4);
  PutLe(file, static_cast<uint32_t>(h), 4);  // positive: bottom row first
  PutLe(file, 1, 2);
  PutLe(file, 24, 2);
  PutLe(file, 0, 4);    // no compression
  PutLe(file, image_bytes, 4);
  PutLe(file, 2835, 4);  // 72 dpi
  PutLe(file, 2835, 4);
  PutLe(file, 0, 4);
  PutLe(file, 0, 4);
  for (int y = h - 1; y >= 0; --y) {
    const uint32_t* row = pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
    for (int x = 0; x < w; ++x) PutLe(file, row[x] & 0xFFFFFF, 3);
    for (uint32_t pad = static_cast<uint32_t>(w) * 3; pad < row_bytes; ++pad) file.push_back(0);
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  const bool closed = std::fclose(f) == 0;
  // A picture cut short (a full disk, a size limit) is worse than none.
  if (!written || !closed) std::remove(path.c_str());
  return written && closed;
}

