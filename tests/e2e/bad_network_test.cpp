// A match played through a relay that loses 20 % of the datagrams in each
// direction, duplicates 5 % and delays every copy by 0..100 ms, so they also
// arrive out of order. The message log must still reach every client whole.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>

#include "e2e/relay.h"
#include "support/process.h"
#include "support/scripted_client.h"

namespace {

// An open hall with pillars, 8 spawn points and some items.
const char* kArenaMap =
    "555333\n"
    "AAAAAAAAAAAAAAAAAAAA\n"
    "A@       5        @A\n"
    "A                  A\n"
    "A  B     4     B   A\n"
    "A                  A\n"
    "A     3      6     A\n"
    "A@                @A\n"
    "A   B    8     B   A\n"
    "A                  A\n"
    "A     7      0     A\n"
    "A@                @A\n"
    "A  B     1     B   A\n"
    "A                  A\n"
    "A@       2        @A\n"
    "AAAAAAAAAAAAAAAAAAAA\n";

TEST(BadNetwork, EveryLogLineArrivesOnceAndInOrderThroughLossAndReordering) {
  if (!ServerBuilt()) GTEST_SKIP() << "server not built";
  TempDir dir;
  WriteFile(dir / "maps/relayarena.vnxm", kArenaMap);

  // 20 scripted players and 4 bots fill all 24 slots; teams end it sooner.
  // All players come from 127.0.0.1, so the limits per address are raised.
  ChildProcess server;
  uint16_t port = StartServer(server, {"-port", "47100", "-map", "relayarena", "-maxplayers", "24", "-bots", "4",
                                      "-teams", "1", "-score", "12", "-name", "Lossy", "-ipslots", "20",
                                      "-ipconnects", "20", "-connects", "20"}, dir.path());
  ASSERT_NE(port, 0);
  constexpr int kClients = 20;
  LossyRelay relay(port, kClients, RelayFaults{}, 20261207);
  std::vector<std::unique_ptr<ScriptedClient>> clients;
  for (int i = 0; i < kClients; ++i)
    clients.push_back(std::make_unique<ScriptedClient>("Script" + std::to_string(i), i % 4, relay.portFor(i)));

  long long start = NowMs(), first_tick_ms = 0, deadline = start + 150000;
  uint16_t first_tick = 0;
  bool match_over = false;
  while (NowMs() < deadline && !match_over) {
    for (auto& c : clients) c->frame();
    if (!first_tick_ms && clients[0]->snapshots() > 0) {
      first_tick_ms = NowMs();
      first_tick = clients[0]->serverTick();
    }
    match_over = true;
    for (auto& c : clients) match_over = match_over && c->countdown() > 0;
    SleepMs(30);
  }
  // Let the last batches arrive before judging.
  for (int f = 0; f < 100; ++f) {
    for (auto& c : clients) c->frame();
    SleepMs(30);
  }
  long long elapsed = NowMs() - first_tick_ms;
  int ticks = static_cast<uint16_t>(clients[0]->serverTick() - first_tick);

  ASSERT_TRUE(match_over) << "no team reached the score limit in time";
  EXPECT_GT(relay.counts().dropped.load(), 1000);
  EXPECT_GT(relay.counts().duplicated.load(), 100);

  std::map<uint16_t, std::string> line_by_index;
  for (auto& c : clients) {
    SCOPED_TRACE("client in slot " + std::to_string(c->slot()));
    EXPECT_EQ(c->timesNotConnected(), 0) << "dropped by the server";
    EXPECT_TRUE(c->problems().empty()) << c->problems().front();
    const auto& log = c->log();
    ASSERT_FALSE(log.empty());
    for (size_t i = 1; i < log.size(); ++i)
      ASSERT_EQ(static_cast<uint16_t>(log[i - 1].index + 1), log[i].index) << "gap or repeat at line " << i;
    for (const auto& l : log) {
      auto [it, fresh] = line_by_index.emplace(l.index, l.text);
      EXPECT_EQ(it->second, l.text) << "clients disagree on line " << l.index;
    }
    // Everything up to the winning line reached every client.
    bool saw_win = false;
    for (const auto& l : log) saw_win = saw_win || (!l.text.empty() && l.text[0] == EV_TEAMWIN);
    EXPECT_TRUE(saw_win);
  }
  // The tick is 30 ms of sleep plus its work: a rate close to 33 per second
  // means the work stayed far inside its budget even with 24 players. Shown
  // for the README's figure; the game ran on when the match was decided.
  double ticks_per_second = ticks * 1000.0 / elapsed;
  std::printf("%d ticks in %lld ms: %.2f ticks/s\n", ticks, elapsed, ticks_per_second);
  RecordProperty("ticks_per_second", std::to_string(ticks_per_second));
  EXPECT_EQ(server.stop(), 0);
}

}  // namespace
