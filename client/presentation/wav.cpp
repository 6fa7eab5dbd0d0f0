// The WAV reader: a RIFF header with the format chunk first, then chunks up
// to the end of the file. Every length is checked against the bytes that are
// really there, so a cut or lying file is refused instead of read past.
#include <cstring>
#include <fstream>
#include <utility>

#include "client/presentation/assets.h"

namespace {

constexpr size_t HEADER_SIZE = 36;  // RIFF header and the 16 standard format bytes
constexpr std::streamoff MAX_WAV_FILE = 32 << 20;

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

bool SupportedFormat(const WavData& wav) {
  return (wav.channels == 1 || wav.channels == 2) && (wav.bits == 8 || wav.bits == 16) && wav.sample_rate > 0;
}

}  // namespace

bool ParseWav(const uint8_t* data, size_t size, WavData& out) {
  if (!data || size < HEADER_SIZE) return false;
  WavData wav;
  wav.channels = Le16(data + 22);
  wav.sample_rate = Le32(data + 24);
  wav.bits = Le16(data + 34);
  const uint32_t format_length = Le32(data + 16);
  if (format_length < 16 || format_length - 16 > size - HEADER_SIZE) return false;
  size_t pos = HEADER_SIZE + (format_length - 16);

  const uint8_t* samples = nullptr;
  size_t sample_bytes = 0;
  while (size - pos >= 8) {
    const bool is_data = std::memcmp(data + pos, "data", 4) == 0;
    const uint32_t length = Le32(data + pos + 4);
    pos += 8;
    if (length > size - pos) {
      if (is_data) return false;  // the samples it promises are not there
      break;                      // a trailing chunk that lies ends the walk
    }
    if (is_data) {
      samples = data + pos;
      sample_bytes = length;
    }
    pos += length;
  }
  if (!SupportedFormat(wav)) return false;
  // Only whole sample frames can be played.
  const size_t frame_bytes = static_cast<size_t>(wav.channels) * (wav.bits / 8);
  sample_bytes -= sample_bytes % frame_bytes;
  if (!samples || sample_bytes == 0) return false;
  wav.samples.assign(samples, samples + sample_bytes);
  out = std::move(wav);
  return true;
}

bool ReadWavFile(const std::string& path, WavData& out) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return false;
  const std::streamoff size = file.tellg();
  if (size < 0 || size > MAX_WAV_FILE) return false;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  file.seekg(0);
  if (!file.read(reinterpret_cast<char*>(bytes.data()), size)) return false;
  return ParseWav(bytes.data(), bytes.size(), out);
}
