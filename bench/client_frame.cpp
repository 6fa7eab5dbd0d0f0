// One whole client frame as a player in a full game has it: a snapshot of 24
// players (some firing, so shots are traced) arrives, then ClientFrame runs
// input, the session, animation, sound positions, the 3D view with every
// billboard and the HUD. The map is the shipped castle.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "client/core/client_state.h"
#include "client/frame/frame.h"
#include "client/core/labels.h"
#include "client/core/session.h"
#include "client/core/world.h"
#include "client/presentation/menu.h"
#include "client/presentation/platform_headless.h"
#include "protocol/msgbuf.h"

namespace {

std::string ShippedMapText(const std::string& name) {
  std::ifstream f(std::string(VORNAX_SOURCE_DIR) + "/maps/" + name + ".vnxm");
  std::stringstream s;
  s << f.rdbuf();
  std::string text = s.str(), stored;
  for (char c : text)
    if (c != '\r') stored += c == '\n' ? '\r' : c;
  while (!stored.empty() && stored.back() == '\r') stored.pop_back();
  return stored;
}

struct Spot {
  uint16_t x, y;
};

// Open cells near the first spawn point, where the local player stands.
std::vector<Spot> OpenCellsNearSpawn(int count) {
  int sc = 1, sr = 1;
  for (int c = 1; c <= 64; ++c)
    for (int r = 1; r <= 64; ++r)
      if (map_grid[c][r] == ' ' && sc == 1) {
        sc = c;
        sr = r;
      }
  std::vector<Spot> spots;
  for (int radius = 0; radius < 64 && static_cast<int>(spots.size()) < count; ++radius)
    for (int c = sc - radius; c <= sc + radius; ++c)
      for (int r = sr - radius; r <= sr + radius; ++r) {
        if (c < 1 || r < 1 || c > 64 || r > 64 || std::max(std::abs(c - sc), std::abs(r - sr)) != radius) continue;
        if (map_grid[c][r] == ' ' && static_cast<int>(spots.size()) < count)
          spots.push_back({static_cast<uint16_t>(c * 64 + 32), static_cast<uint16_t>(r * 64 + 32)});
      }
  return spots;
}

class FullGame {
 public:
  FullGame() {
    char templ[] = "/tmp/vornax_bench_frame_XXXXXX";
    if (mkdtemp(templ) && chdir(templ) == 0) dir_ = templ;
    HeadlessReset();
    ResetClientState();
    ResetLabels();
    StartUp();
    std::string text = ShippedMapText("castle");
    std::memcpy(map_text + 1, text.data(), std::min<size_t>(text.size(), MAP_TEXT_SIZE - 1));
    ClearMap();
    DecodeMap();
    conn_state = CS_CONNECTED;
    awaiting_info = false;
    if (menu_open) ToggleMenu();
    spots_ = OpenCellsNearSpawn(MAX_SLOTS);
    local_x = spots_[0].x;
    local_y = spots_[0].y;
  }

  // The snapshot of tick t: everyone alive, a third of them firing.
  void deliverSnapshot(uint16_t t) {
    MessageBuffer& b = client_buf;
    b.clear();
    b.writeByte('n');
    b.writeWord(t);
    b.writeWord(0);
    b.writeByte(static_cast<uint8_t>(spots_.size()));
    for (size_t i = 0; i < spots_.size(); ++i) {
      bool firing = i > 0 && (i + t / 10) % 3 == 0;
      b.writeByte(static_cast<uint8_t>(i + 1));
      b.writeByte(firing ? 4 : 3);
      b.writeByte(2);
      b.writeByte(static_cast<uint8_t>(i));
      b.writeWord(static_cast<uint16_t>(spots_[i].x + (t % 20)));
      b.writeWord(spots_[i].y);
      b.writeWord(static_cast<uint16_t>((i * 47 + t) % 360));
      if (firing) b.writeByte(static_cast<uint8_t>(2 + i % 4));
    }
    b.writeByte(MAX_MAP_ITEMS);
    for (int item = 1; item <= MAX_MAP_ITEMS; ++item) b.writeByte(static_cast<uint8_t>(item));
    for (uint8_t v : {1, 100, 25, 50, 5, 2}) b.writeByte(v);
    b.pos = 1;
    HandleDatagram("127.0.0.1", cfg.server_port);
  }

 private:
  std::string dir_;
  std::vector<Spot> spots_;
};

void BM_ClientFrameInAFullGame(benchmark::State& state) {
  static FullGame game;
  uint16_t tick = 0;
  for (auto _ : state) {
    game.deliverSnapshot(tick++);
    headless_ticks += 30;
    ClientFrame();
    benchmark::DoNotOptimize(view_surface[400 * 150 + 200]);
  }
}
BENCHMARK(BM_ClientFrameInAFullGame)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
