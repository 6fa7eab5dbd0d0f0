// Helpers for the presentation tests: a scratch working directory, BMP and
// WAV files written byte by byte, and small maps.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "client/core/client_state.h"
#include "client/core/labels.h"
#include "client/core/session.h"
#include "client/presentation/platform_headless.h"

namespace present_test {

// Sound tests need a device but no sound card: OpenAL Soft's null output,
// chosen before anything opens a device.
inline const int null_audio_output = setenv("ALSOFT_DRIVERS", "null", 0);

// Runs a test inside a fresh temporary directory, the client state reset.
class ScratchDir : public ::testing::Test {
 protected:
  void SetUp() override {
    old_dir_ = std::filesystem::current_path();
    char pattern[] = "/tmp/vornax_present_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    std::filesystem::current_path(dir_);
    std::filesystem::create_directory("sprites");
    std::filesystem::create_directory("sounds");
    CloseNetwork();
    HeadlessReset();
    ResetClientState();
    ResetLabels();
  }
  void TearDown() override {
    CloseNetwork();
    std::filesystem::current_path(old_dir_);
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path old_dir_, dir_;
};

inline void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
inline void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
}

using PixelFn = std::function<uint32_t(int x, int y)>;  // 0x00RRGGBB, y = 0 at the top

// An uncompressed BMP of 24 or 32 bits per pixel, stored bottom-up as most
// painting programs write it.
inline std::vector<uint8_t> BmpBytes(int w, int h, const PixelFn& pixel, int bits = 24) {
  const int bytes_per_pixel = bits / 8;
  const int stride = (w * bytes_per_pixel + 3) & ~3;
  std::vector<uint8_t> b;
  b.push_back('B');
  b.push_back('M');
  Put32(b, 54 + stride * h);
  Put32(b, 0);
  Put32(b, 54);
  Put32(b, 40);
  Put32(b, static_cast<uint32_t>(w));
  Put32(b, static_cast<uint32_t>(h));
  Put16(b, 1);
  Put16(b, static_cast<uint32_t>(bits));
  Put32(b, 0);
  Put32(b, static_cast<uint32_t>(stride * h));
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, 0);
  Put32(b, 0);
  for (int y = h - 1; y >= 0; --y) {
    const size_t row_start = b.size();
    for (int x = 0; x < w; ++x) {
      const uint32_t c = pixel(x, y);
      b.push_back(c & 0xFF);
      b.push_back((c >> 8) & 0xFF);
      b.push_back((c >> 16) & 0xFF);
      if (bytes_per_pixel == 4) b.push_back(0);
    }
    while (b.size() - row_start < static_cast<size_t>(stride)) b.push_back(0);
  }
  return b;
}

// An 8-bit paletted BMP with the given palette, pixel = palette index.
inline std::vector<uint8_t> Bmp8Bytes(int w, int h, const std::vector<uint32_t>& palette,
                                      const std::function<uint8_t(int, int)>& index) {
  const int stride = (w + 3) & ~3;
  const uint32_t offset = 54 + 4 * static_cast<uint32_t>(palette.size());
  std::vector<uint8_t> b{'B', 'M'};
  Put32(b, offset + stride * h);
  Put32(b, 0);
  Put32(b, offset);
  Put32(b, 40);
  Put32(b, static_cast<uint32_t>(w));
  Put32(b, static_cast<uint32_t>(h));
  Put16(b, 1);
  Put16(b, 8);
  Put32(b, 0);
  Put32(b, static_cast<uint32_t>(stride * h));
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, static_cast<uint32_t>(palette.size()));
  Put32(b, 0);
  for (uint32_t c : palette) Put32(b, c);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < stride; ++x) b.push_back(x < w ? index(x, y) : 0);
  }
  return b;
}

inline void WriteBmp(const std::string& path, int w, int h, const PixelFn& pixel, int bits = 24) {
  WriteFile(path, BmpBytes(w, h, pixel, bits));
}

inline PixelFn Solid(uint32_t colour) {
  return [colour](int, int) { return colour; };
}

// A PCM WAV: the 36-byte header with a 16-byte format chunk, optional extra
// chunks, then the data chunk.
inline std::vector<uint8_t> WavBytes(uint16_t channels, uint32_t rate, uint16_t bits,
                                     const std::vector<uint8_t>& samples,
                                     const std::vector<std::vector<uint8_t>>& chunks_before_data = {}) {
  std::vector<uint8_t> b{'R', 'I', 'F', 'F'};
  Put32(b, 0);  // patched below
  for (char c : std::string("WAVEfmt ")) b.push_back(static_cast<uint8_t>(c));
  Put32(b, 16);
  Put16(b, 1);
  Put16(b, channels);
  Put32(b, rate);
  Put32(b, rate * channels * bits / 8);
  Put16(b, static_cast<uint32_t>(channels * bits / 8));
  Put16(b, bits);
  for (const auto& chunk : chunks_before_data) b.insert(b.end(), chunk.begin(), chunk.end());
  for (char c : std::string("data")) b.push_back(static_cast<uint8_t>(c));
  Put32(b, static_cast<uint32_t>(samples.size()));
  b.insert(b.end(), samples.begin(), samples.end());
  const uint32_t riff = static_cast<uint32_t>(b.size() - 8);
  for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<uint8_t>(riff >> (8 * i));
  return b;
}

inline std::vector<uint8_t> Chunk(const std::string& name, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> b(name.begin(), name.end());
  Put32(b, static_cast<uint32_t>(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

// Every cell of the map open (the outer ring stays the boundary '[').
inline void OpenMap() {
  for (int x = 1; x <= 64; ++x)
    for (int y = 1; y <= 64; ++y) map_grid[x][y] = ' ';
}

// A rectangle of wall cells with the given letter, inclusive.
inline void WallBlock(int x0, int y0, int x1, int y1, char letter) {
  for (int x = x0; x <= x1; ++x)
    for (int y = y0; y <= y1; ++y) map_grid[x][y] = letter;
}

// The outline of a room, inclusive.
inline void RoomWalls(int x0, int y0, int x1, int y1, char letter) {
  for (int x = x0; x <= x1; ++x) map_grid[x][y0] = map_grid[x][y1] = letter;
  for (int y = y0; y <= y1; ++y) map_grid[x0][y] = map_grid[x1][y] = letter;
}

inline int CountLines(const std::string& needle) {
  int n = 0;
  for (const auto& line : log_lines)
    if (line == needle) ++n;
  return n;
}

}  // namespace present_test
