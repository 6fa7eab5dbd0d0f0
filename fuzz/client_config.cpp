// libFuzzer: any line of config.cfg.
#include <cstdint>
#include <string>

#include "client/core/client_state.h"
#include "client/core/config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ApplyConfigLine(std::string(reinterpret_cast<const char*>(data), size));
  if (cfg.team > 3 || cfg.ms > 100 || cfg.sv > 100 || cfg.server_address.size() > 16) __builtin_trap();
  return 0;
}
