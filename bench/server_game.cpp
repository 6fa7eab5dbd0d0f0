// One active server tick with 23 bots fighting and one human firing on a busy
// arena: items, walls, line-of-sight tests and shot traces every tick.
// Reports the median and the 99th percentile of single ticks.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "server/core/msglog.h"
#include "server/core/settings.h"
#include "server/core/startup.h"
#include "server/net/sessions.h"
#include "server/sim/bots.h"
#include "server/sim/combat.h"
#include "server/sim/rules.h"
#include "server/sim/world.h"
#include "tests/server/game_maps.h"

namespace {

void UseArena(int size) {
  const std::vector<std::string> rows = game_test::BusyArena(size);
  for (int c = 1; c <= MAP_CELLS; ++c)
    for (int r = 1; r <= MAP_CELLS; ++r) SV_MAP.cells[c][r] = CELL_FREE;
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      const uint8_t ch = static_cast<uint8_t>(rows[r][c]);
      const int col = static_cast<int>(c) + 1, row = static_cast<int>(r) + 1;
      const uint16_t x = static_cast<uint16_t>(64 * col + 32), y = static_cast<uint16_t>(64 * row + 32);
      SV_MAP.cells[col][row] = MAP_ISBWALL(ch) ? CELL_WALL : MAP_ISPWALL(ch) ? CELL_OBSTACLE : CELL_FREE;
      if (MAP_ISITEM(ch)) SV_MAP.items[++SV_MAP.item_count] = MapItem{0, x, y, ch};
      if (MAP_ISSPAWN(ch)) SV_MAP.spawns[++SV_MAP.spawn_count] = SpawnPoint{x, y};
    }
  }
}

void AddHuman() {
  ClientRecord& c = SV_CLIENTSLIST[1];
  c.in_use = 1;
  c.address.assign("127.0.0.1");
  c.port = 9;
  c.input_budget = 33;
  PLAYER_RESPAWN(1);
  ++SV_CURCLIENTS;
  c.specjoin_wait = 0;
  PLAYER_SPECJOIN(1);
}

void OneTick() {
  // The human's input of this tick: turn a little and fire.
  ClientRecord& human = SV_CLIENTSLIST[1];
  human.dir = static_cast<uint16_t>((human.dir + 3) % 360);
  human.want_x = human.x;
  human.want_y = human.y;
  human.action = ACT_FIRE;
  PLAYER_ACTIONS(1);
  SV_OTHER();
  SV_MAPITEMS();
  SV_PLAYERS();
  // Keep the match running forever.
  if (SV_PINGVAR % 512 == 0)
    for (auto& c : SV_CLIENTSLIST) c.frags = 0;
}

// Players whose weapon went off in the tick just run: the per-slot pass has
// already counted their reload down by one.
int ShotsThisTick() {
  int n = 0;
  for (const ClientRecord& c : SV_CLIENTSLIST)
    if (c.in_use && c.joined && c.health > 0 && c.gun >= 1 && c.gun <= NUM_WEAPONS && c.wait == GUNS_RELOAD[c.gun] - 1)
      ++n;
  return n;
}

void BM_ActiveTick(benchmark::State& state) {
  SV_RESETALL();
  UseArena(static_cast<int>(state.range(0)));
  SV_BOTCOUNT = 24;
  SV_MAXPLAYERS = 24;
  SV_SCORELIMIT = 255;
  AddHuman();
  for (int t = 0; t < 200; ++t) OneTick();  // every bot created, joined and fighting

  std::vector<double> micros;
  micros.reserve(static_cast<size_t>(state.max_iterations));
  const uint16_t lines_before = SV_LOGI;
  long shots = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    OneTick();
    const auto end = std::chrono::steady_clock::now();
    micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    shots += ShotsThisTick();
  }
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[micros.size() * 99 / 100];
  state.counters["max_us"] = micros.back();
  state.counters["shots_per_tick"] = static_cast<double>(shots) / static_cast<double>(micros.size());
  state.counters["log_lines"] = static_cast<uint16_t>(SV_LOGI - lines_before);
}

// A 32-cell arena keeps everybody close; the whole 64-cell grid gives long traces.
BENCHMARK(BM_ActiveTick)->Arg(32)->Arg(64)->Iterations(20000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
