// Writing a picture as a Windows bitmap file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A 24-bit Windows bitmap of 0x00RRGGBB pixels, top row first in memory.
bool WriteBmpFile(const std::string& path, const std::vector<uint32_t>& pixels, int w, int h);
