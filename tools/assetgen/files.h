// Encoders for the two file formats the client reads, 24-bit BMP pictures
// and 16-bit PCM mono WAV sounds, and PNG for the desktop icon.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/assetgen/canvas.h"

// Bottom-up 24-bit BMP with a BITMAPINFOHEADER; rows padded to 4 bytes.
std::vector<uint8_t> EncodeBmp(int width, int height, const std::vector<Rgb>& pixels);

struct PcmStats {
  float peak_dbfs = 0;  // after normalising
  float gain = 1;       // applied to reach the target peak
};

// Scales the samples so the loudest one sits at target_dbfs, then encodes
// them as 16-bit mono PCM at the given rate.
std::vector<uint8_t> EncodeWav(const std::vector<float>& samples, uint32_t rate, float target_dbfs,
                               PcmStats* stats);

// 8-bit RGBA PNG, top row first; alpha has one byte per pixel. Stored
// without compression.
std::vector<uint8_t> EncodePng(int width, int height, const std::vector<Rgb>& pixels,
                               const std::vector<uint8_t>& alpha);

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
