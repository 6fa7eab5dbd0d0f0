// A long run: a server with bots and one scripted human, ticks driven as
// fast as they go, through many map changes and past the 65535 wrap of the
// tick counter and of the message-log counter. Every tick the slot counters
// must equal the slots' flags and every value must stay in its range; the
// process must not grow.
//
// VORNAX_SOAK_TICKS sets the length (default: a short run for CI; 1200000
// ticks are 10 hours of play, see tools/soak.sh).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "server/core/console.h"
#include "server/core/startup.h"
#include "server/net/net_settings.h"
#include "server/net/udp.h"
#include "server/sim/msglog.h"
#include "support/process.h"
#include "support/scripted_client.h"
#include "support/server_world.h"
#include "tests/server/game_maps.h"

namespace {

long ResidentKilobytes() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long TicksToRun() {
  const char* env = std::getenv("VORNAX_SOAK_TICKS");
  return env ? std::atol(env) : 80000;
}

TEST(Soak, BotsAndAHumanThroughMapChangesAndCounterWraps) {
  TempDir dir(true);
  WriteFile("maps/hall.vnxm", game_test::MapFile(game_test::BusyArena(16), "222555"));
  WriteFile("maps/cross.vnxm", game_test::MapFile(game_test::BusyArena(24), "000777"));

  SV_RESETALL();
  FILE* console = std::fopen("/dev/null", "w");
  CON_SETOUTPUT(console);
  std::vector<std::string> args_store = {"vornaxdm_server", "-port", "0", "-bots", "24", "-score", "3",
                                         "-maxplayers", "24", "-map", "hall", "-map", "cross"};
  std::vector<char*> args;
  for (auto& a : args_store) args.push_back(a.data());
  ASSERT_TRUE(GAMESTART(static_cast<int>(args.size()), args.data()));
  // Start close to both wraps so that even the short run crosses them.
  SV_LOGI = 65536 - 500;
  SV_PINGVAR = 65536 - 3000;

  ScriptedClient human("Soaker", 1, NET_PORT);
  human.setKeepLog(false);
  long ticks = TicksToRun();
  long rss_early = 0;
  int map_changes = 0, ping_wraps = 0, log_wraps = 0;
  uint8_t map_before = SV_MAP.map_index;
  for (long t = 0; t < ticks; ++t) {
    uint16_t ping_before = SV_PINGVAR, log_before = SV_LOGI;
    human.frame();
    GAMECYCLE();
    ASSERT_EQ(WorldFault(), "") << "at tick " << t;
    if (SV_PINGVAR < ping_before) ++ping_wraps;
    if (SV_LOGI < log_before) ++log_wraps;
    if (SV_MAP.map_index != map_before) {
      ++map_changes;
      map_before = SV_MAP.map_index;
    }
    if (t == ticks / 5) rss_early = ResidentKilobytes();
  }
  long rss_late = ResidentKilobytes();

  EXPECT_GE(ping_wraps, 1);
  EXPECT_GE(log_wraps, 1);
  EXPECT_GE(map_changes, 2);
  EXPECT_GT(human.linesReceived(), 100);
  EXPECT_EQ(human.orderFaults(), 0);
  // The human is only ever dropped by the map changes.
  EXPECT_LE(human.timesNotConnected(), map_changes);
  EXPECT_LT(rss_late - rss_early, 1024) << "resident memory grew from " << rss_early << " kB to " << rss_late << " kB";
  RecordProperty("map_changes", map_changes);
  RecordProperty("lines", std::to_string(human.linesReceived()));

  NET_STOP();
  CON_RESET();
  std::fclose(console);
}

}  // namespace
