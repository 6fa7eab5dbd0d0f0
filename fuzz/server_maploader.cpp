// libFuzzer harness for the map loader: the input is written as a map file,
// loaded into the rotation, made current and sent as game information.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "protocol/messages.h"
#include "server/core/startup.h"
#include "server/net/netproto.h"
#include "server/net/udp.h"
#include "server/sim/maps.h"
#include "server/sim/world.h"

namespace {

void EnterScratchDirectory() {
  static bool done = false;
  if (done) return;
  char templ[] = "/tmp/vornax_fuzz_maps_XXXXXX";
  if (!mkdtemp(templ)) std::abort();
  std::filesystem::create_directories(std::string(templ) + "/maps");
  if (chdir(templ) != 0) std::abort();
  done = true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EnterScratchDirectory();
  FILE* f = std::fopen("maps/fuzz.vnxm", "wb");
  if (!f) std::abort();
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  SV_RESETALL();
  MAPFROMFILE(ShortStr("fuzz"));
  SV_LOADCURMAP(1);
  if (SV_MAP.item_count > MAX_ITEMS || SV_MAP.spawn_count > MAX_SPAWNS) std::abort();
  if (SV_MAPL[1].text[MAP_TEXT_SIZE] != 0) std::abort();  // the text always ends in the table
  for (int i = 0; i <= MAP_CELLS + 1; ++i)
    if (SV_MAP.cells[i][0] != CELL_WALL || SV_MAP.cells[0][i] != CELL_WALL) std::abort();
  NET_CLEARBUFFER();
  WriteGameInfoHead(NET_BUF, WireSession{}, 0, SV_MAPL[1].text + 1, MAP_TEXT_SIZE);
  return 0;
}
