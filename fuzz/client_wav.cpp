// Feeds arbitrary bytes to the WAV reader: it must refuse or accept them
// without reading outside the buffer or asking for absurd amounts of memory.
#include <cstddef>
#include <cstdint>

#include "client/presentation/assets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WavData wav;
  if (ParseWav(data, size, wav)) {
    if (wav.samples.empty() || wav.samples.size() > size) __builtin_trap();
    if (wav.channels != 1 && wav.channels != 2) __builtin_trap();
  }
  return 0;
}
