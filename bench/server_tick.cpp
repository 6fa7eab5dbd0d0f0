// One active tick of a full server (24 human clients on loopback), in two
// figures: the tick's own work without any system call, and the system call
// that sends the 24 snapshots.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "protocol/protocol.h"
#include "server/core/console.h"
#include "server/core/startup.h"
#include "server/net/net_settings.h"
#include "server/net/netproto.h"
#include "server/net/sessions.h"
#include "server/net/udp.h"
#include "server/sim/msglog.h"
#include "server/sim/rules.h"
#include "server/sim/world.h"
#include "support/udp_peer.h"

namespace {

// The 24 clients, on loopback ports of their own.
std::vector<std::unique_ptr<UdpPeer>> clients;

void drainClients() {
  char buf[6000];
  for (const auto& c : clients)
    while (c->receiveInto(buf, sizeof buf) >= 0) {
    }
}

// A running match: 24 clients in every state, each 25 log lines behind and
// never acknowledging, so log batches keep going out, spread over the ticks.
void setUpFullServer() {
  static bool done = false;
  if (done) return;
  done = true;
  SV_RESETALL();
  CON_SETOUTPUT(std::fopen("/dev/null", "w"));
  // All 24 clients come from 127.0.0.1: the limits per address are raised.
  char name[] = "vornaxdm_server", port_option[] = "-port", port[] = "0", slots_option[] = "-ipslots",
       slots[] = "24", connects_option[] = "-ipconnects", entries_option[] = "-connects", many[] = "255";
  char* argv[] = {name, port_option, port, slots_option, slots, connects_option, many, entries_option, many};
  if (!GAMESTART(9, argv)) std::abort();
  for (int i = 0; i < MAX_SLOTS; ++i) {
    clients.push_back(std::make_unique<UdpPeer>());
    const UdpPeer& client = *clients.back();
    std::string connect = {static_cast<char>(MSG_CONNECT), static_cast<char>(PROTOCOL_VERSION), 6};
    connect += "player" + std::string(1, static_cast<char>('a' + i)) + std::string(1, static_cast<char>(i % 4));
    client.sendTo(NET_PORT, connect);
    GAMECYCLE();
    // The first input echoes the tick of the snapshot that answered, which
    // lets the slot into the game.
    uint8_t snapshot[6000] = {};
    if (client.receiveInto(snapshot, sizeof snapshot) < 3) std::abort();
    client.sendTo(NET_PORT, std::string{static_cast<char>(MSG_INPUT), static_cast<char>(snapshot[1]),
                                   static_cast<char>(snapshot[2])} + std::string(9, '\0'));
    GAMECYCLE();
  }
  if (SV_CURCLIENTS != MAX_SLOTS) std::abort();
  for (int i = 0; i < 30; ++i) SV_ADDMSG(ShortStr(std::string(1, static_cast<char>(EV_SERVERINFO)) + "a line of text"));
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    ClientRecord& c = SV_CLIENTSLIST[s];
    SetJoined(static_cast<uint8_t>(s), s % 4 != 0);
    c.health = s % 4 == 1 ? 0 : 80;
    c.fire_anim = s % 4 == 3 ? 200 : 0;
    c.log_ack = static_cast<uint16_t>(SV_LOGI - 25);
    c.log_wait = static_cast<uint8_t>(s % 15);
  }
  drainClients();
}

void keepClientsAlive() {
  for (int s = 1; s <= MAX_SLOTS; ++s) SV_CLIENTSLIST[s].idle = 0;
}

// Figure 1: bots and clocks, items, the per-slot pass with its log batches,
// and the snapshot with 24 private tails. The socket is closed meanwhile, so
// every datagram is built and no system call is made.
void BM_TickWithoutSystemCalls(benchmark::State& state) {
  setUpFullServer();
  NET_STOP();
  for (auto _ : state) {
    keepClientsAlive();
    SV_OTHER();
    SV_MAPITEMS();
    SV_PLAYERS();
    NET_BUILDSNAPSHOTS();
    benchmark::DoNotOptimize(NET_BUF.data);
  }
  // Open again on the same port, for the other figures.
  if (!NET_START()) std::abort();
}
BENCHMARK(BM_TickWithoutSystemCalls)->Unit(benchmark::kNanosecond)->Repetitions(15)->ReportAggregatesOnly(true);

// Figure 2: the 24 snapshots of one tick leaving in one sendmmsg call.
void BM_SendSnapshots(benchmark::State& state) {
  setUpFullServer();
  keepClientsAlive();
  NET_BUILDSNAPSHOTS();
  int64_t n = 0;
  for (auto _ : state) {
    NET_SENDSNAPSHOTS();
    if (++n % 128 == 0) {
      state.PauseTiming();
      drainClients();
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_SendSnapshots)->Unit(benchmark::kNanosecond)->Repetitions(15)->ReportAggregatesOnly(true);

// For comparison: the whole tick as the server runs it, system calls included.
void BM_WholeTick(benchmark::State& state) {
  setUpFullServer();
  int64_t n = 0;
  for (auto _ : state) {
    keepClientsAlive();
    GAMECYCLE();
    if (++n % 128 == 0) {
      state.PauseTiming();
      drainClients();
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_WholeTick)->Unit(benchmark::kNanosecond)->Repetitions(15)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
