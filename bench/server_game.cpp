// One active server tick with 23 bots fighting and one human firing on a busy
// arena: items, walls, line-of-sight tests and shot traces every tick. The
// human is a real UDP peer on loopback, so the tick includes reading its
// input and sending its snapshot. Reports the median and the 99th percentile
// of single ticks, and how many shots a tick fires on average.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "protocol/msgbuf.h"
#include "protocol/protocol.h"
#include "server/core/console.h"
#include "server/core/startup.h"
#include "server/net/net_settings.h"
#include "server/sim/maps.h"
#include "server/sim/msglog.h"
#include "server/sim/world.h"
#include "tests/server/game_maps.h"

namespace {

class Human {
 public:
  Human() {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a = Loopback(0);
    bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL, 0) | O_NONBLOCK);
  }
  ~Human() { close(fd_); }

  void connect() {
    buf_.clear();
    buf_.writeByte(MSG_CONNECT);
    buf_.writeByte(PROTOCOL_VERSION);
    buf_.writeString(ShortStr("bench"));
    buf_.writeByte(1);
    send();
  }
  // Turns a little and fires (or joins while spectating, respawns while dead).
  void input(uint16_t tick, bool joined) {
    buf_.clear();
    buf_.writeByte(MSG_INPUT);
    buf_.writeWord(tick);
    buf_.writeWord(static_cast<uint16_t>(tick * 3 % 360));
    buf_.writeByte(joined ? ACT_FIRE : ACT_SPECJOIN);
    buf_.writeWord(0);  // a step too long: stays where it is
    buf_.writeWord(0);
    buf_.writeWord(SV_LOGI);
    send();
  }
  void drain() {
    char bytes[6000];
    while (recv(fd_, bytes, sizeof bytes, 0) >= 0) {
    }
  }

 private:
  static sockaddr_in Loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
  }
  void send() {
    sockaddr_in to = Loopback(NET_PORT);
    sendto(fd_, buf_.bytes(), buf_.length(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  }

  int fd_ = -1;
  MessageBuffer buf_;
};

void StartServer(int arena_size) {
  SV_RESETALL();
  CON_SETOUTPUT(std::fopen("/dev/null", "w"));
  std::vector<std::string> args = {"vornaxdm_server", "-port", "0", "-bots", "24", "-maxplayers", "24", "-score", "255"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  if (!GAMESTART(static_cast<int>(argv.size()), argv.data())) std::abort();
  std::string text = "000000";
  const std::vector<std::string> rows = game_test::BusyArena(arena_size);
  for (size_t r = 0; r < rows.size(); ++r) text += (r ? "\r" : "") + rows[r];
  MAPFROMSTR(1, text.c_str());
  SV_LOADCURMAP(1);
}

uint8_t HumanSlot() {
  for (uint8_t j = 1; j <= MAX_SLOTS; ++j)
    if (SV_CLIENTSLIST[j].in_use && !SV_CLIENTSLIST[j].is_bot) return j;
  return 0;
}

// Players whose weapon went off in the tick just run: the per-slot pass has
// already counted their reload down by one.
int ShotsThisTick() {
  int n = 0;
  for (const ClientRecord& c : SV_CLIENTSLIST)
    if (c.in_use && c.joined && c.health > 0 && c.gun >= 1 && c.gun <= NUM_WEAPONS && c.wait == WEAPONS[c.gun].reload - 1)
      ++n;
  return n;
}

void SendInput(Human& human) {
  const uint8_t slot = HumanSlot();
  // The tick of the newest snapshot, as the slot's snapshots carry it.
  const uint16_t echo = static_cast<uint16_t>(SV_PINGVAR + (slot != 0 ? SV_CLIENTSLIST[slot].tick_offset : 0));
  human.input(echo, slot != 0 && SV_CLIENTSLIST[slot].joined);
}

// Nobody reaches the score limit, so the match runs forever.
void KeepMatchRunning() {
  if (SV_PINGVAR % 512 == 0)
    for (auto& c : SV_CLIENTSLIST) c.frags = 0;
}

void OneTick(Human& human) {
  SendInput(human);
  GAMECYCLE();
  human.drain();
  KeepMatchRunning();
}

void BM_ActiveTick(benchmark::State& state) {
  StartServer(static_cast<int>(state.range(0)));
  Human human;
  human.connect();
  for (int t = 0; t < 200; ++t) OneTick(human);  // every bot created, joined and fighting
  if (SV_CURPLAYERS != MAX_SLOTS) state.SkipWithError("not everybody joined");

  std::vector<double> micros;
  micros.reserve(static_cast<size_t>(state.max_iterations));
  const uint16_t lines_before = SV_LOGI;
  long shots = 0;
  for (auto _ : state) {
    SendInput(human);
    const auto start = std::chrono::steady_clock::now();
    GAMECYCLE();
    const auto end = std::chrono::steady_clock::now();
    micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    human.drain();
    shots += ShotsThisTick();
    KeepMatchRunning();
  }
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[micros.size() * 99 / 100];
  state.counters["max_us"] = micros.back();
  state.counters["shots_per_tick"] = static_cast<double>(shots) / static_cast<double>(micros.size());
  state.counters["log_lines"] = static_cast<uint16_t>(SV_LOGI - lines_before);
  SV_RESETALL();
}

// A 32-cell arena keeps everybody close; the whole 64-cell grid gives long traces.
BENCHMARK(BM_ActiveTick)->Arg(32)->Arg(64)->Iterations(20000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
