// Feeds arbitrary bytes through the picture decoder the loaders use (the
// header check, then SDL's BMP reader and colour conversion).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "client/presentation/assets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint32_t> pixels;
  int width = 0, height = 0;
  if (DecodeBmp(data, size, pixels, width, height)) {
    if (width <= 0 || height <= 0 || pixels.size() != static_cast<size_t>(width) * height) __builtin_trap();
    for (uint32_t p : pixels)
      if (p > 0xFFFFFF) __builtin_trap();
  }
  return 0;
}
