#include "tools/assetgen/files.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace {

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

void PutTag(std::vector<uint8_t>& out, const char* tag) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(tag[i]));
}

}  // namespace

std::vector<uint8_t> EncodeBmp(int width, int height, const std::vector<Rgb>& pixels) {
  const uint32_t rowBytes = (uint32_t(width) * 3 + 3) & ~3u;
  const uint32_t imageBytes = rowBytes * uint32_t(height);
  std::vector<uint8_t> out;
  out.reserve(54 + imageBytes);
  out.push_back('B');
  out.push_back('M');
  PutU32(out, 54 + imageBytes);
  PutU32(out, 0);
  PutU32(out, 54);          // pixel data offset
  PutU32(out, 40);          // BITMAPINFOHEADER
  PutU32(out, uint32_t(width));
  PutU32(out, uint32_t(height));  // positive: bottom-up rows
  PutU16(out, 1);
  PutU16(out, 24);
  PutU32(out, 0);           // no compression
  PutU32(out, imageBytes);
  PutU32(out, 2835);        // 72 dpi
  PutU32(out, 2835);
  PutU32(out, 0);
  PutU32(out, 0);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      const Rgb c = pixels[size_t(y) * width + x];
      out.push_back(c.b);
      out.push_back(c.g);
      out.push_back(c.r);
    }
    for (uint32_t pad = uint32_t(width) * 3; pad < rowBytes; ++pad) out.push_back(0);
  }
  return out;
}

std::vector<uint8_t> EncodeWav(const std::vector<float>& samples, uint32_t rate, float target_dbfs,
                               PcmStats* stats) {
  float peak = 0;
  for (float s : samples) peak = std::max(peak, std::fabs(s));
  const float target = std::pow(10.0f, target_dbfs / 20.0f);
  const float gain = peak > 0 ? target / peak : 1.0f;

  const uint32_t dataBytes = uint32_t(samples.size()) * 2;
  std::vector<uint8_t> out;
  out.reserve(44 + dataBytes);
  PutTag(out, "RIFF");
  PutU32(out, 36 + dataBytes);
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  PutU32(out, 16);
  PutU16(out, 1);           // PCM
  PutU16(out, 1);           // mono
  PutU32(out, rate);
  PutU32(out, rate * 2);    // bytes per second
  PutU16(out, 2);           // block align
  PutU16(out, 16);
  PutTag(out, "data");
  PutU32(out, dataBytes);
  int maxAbs = 0;
  for (float s : samples) {
    const int v = int(std::lround(std::clamp(s * gain, -1.0f, 1.0f) * 32767.0f));
    maxAbs = std::max(maxAbs, std::abs(v));
    PutU16(out, uint16_t(int16_t(v)));
  }
  if (stats) {
    stats->gain = gain;
    stats->peak_dbfs = maxAbs > 0 ? 20.0f * std::log10(maxAbs / 32768.0f) : -200.0f;
  }
  return out;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(file);
}

namespace {

void PutU32BigEndian(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

uint32_t Crc32(const uint8_t* bytes, size_t length) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < length; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutChunk(std::vector<uint8_t>& out, const char* tag, const std::vector<uint8_t>& data) {
  PutU32BigEndian(out, uint32_t(data.size()));
  const size_t start = out.size();
  PutTag(out, tag);
  out.insert(out.end(), data.begin(), data.end());
  PutU32BigEndian(out, Crc32(out.data() + start, out.size() - start));
}

// A zlib stream of stored (uncompressed) deflate blocks: every reader
// takes it, and the encoder stays a few lines.
std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out = {0x78, 0x01};
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  size_t at = 0;
  do {
    const size_t block = std::min<size_t>(raw.size() - at, 65535);
    out.push_back(at + block == raw.size() ? 1 : 0);
    PutU16(out, uint32_t(block));
    PutU16(out, uint32_t(~block & 0xFFFF));
    out.insert(out.end(), raw.begin() + long(at), raw.begin() + long(at + block));
    at += block;
  } while (at < raw.size());
  PutU32BigEndian(out, (b << 16) | a);
  return out;
}

}  // namespace

std::vector<uint8_t> EncodePng(int width, int height, const std::vector<Rgb>& pixels,
                               const std::vector<uint8_t>& alpha) {
  std::vector<uint8_t> header;
  PutU32BigEndian(header, uint32_t(width));
  PutU32BigEndian(header, uint32_t(height));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter method, no interlace
  std::vector<uint8_t> raw;
  raw.reserve(size_t(height) * (1 + size_t(width) * 4));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // no row filter
    for (int x = 0; x < width; ++x) {
      const size_t i = size_t(y) * width + x;
      raw.insert(raw.end(), {pixels[i].r, pixels[i].g, pixels[i].b, alpha[i]});
    }
  }
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", StoredZlib(raw));
  PutChunk(out, "IEND", {});
  return out;
}
