// Coming back after the server forgot the client: the real client, joined
// and walking, on the real server through the relay. After a map change and
// after a kick it must be back in the game without waiting for the
// lost-server limit, and a lost first input must not cost a "Connection
// lost" either. The times are printed, not judged.
//
// A console command acts between two ticks, so an input of the client is
// usually on its way and is answered "not connected" at once. When the
// server ends a match it changes the map inside a tick instead: that tick's
// snapshots never go out and the inputs it read were the last. The relay
// plays that by losing the client's inputs for the 100 ms after the
// command.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

#include "e2e/relay.h"
#include "protocol/protocol.h"
#include "support/process.h"
#include "support/wire.h"

namespace {

const char* kRoom =
    "555333\n"
    "AAAAAAAAAA\n"
    "A@       A\n"
    "A        A\n"
    "A       @A\n"
    "AAAAAAAAAA\n";

// What the relay sees of the one client: snapshots showing it alive, the
// server's "not connected", and the slot the server gave it.
struct ClientWatch {
  std::atomic<int> alive_snapshots{0}, not_connected{0}, inputs{0};
  std::atomic<int> slot{0};
  bool version29 = false;  // the client's connect says which it speaks
  void arrived(bool to_server, const uint8_t* d, int len) {
    if (to_server) {
      if (len >= 2 && d[0] == MSG_CONNECT) version29 = d[1] >= 29;
      if (len >= 1 && d[0] == MSG_INPUT) ++inputs;
      return;
    }
    if (len >= 1 && d[0] == MSG_NOTCONNECTED) {
      ++not_connected;
      alive_snapshots = 0;
    }
    const OwnEntry own = ReadOwnEntry(std::string(reinterpret_cast<const char*>(d), static_cast<size_t>(len)), version29);
    if (!own.snapshot) return;
    slot = own.slot;
    if (own.alive) ++alive_snapshots;
  }
};

struct Game {
  TempDir dir;
  std::atomic<long long> lose_inputs_until{0};
  ChildProcess server, client;
  ClientWatch watch;
  std::unique_ptr<LossyRelay> relay;

  // The relay loses what `drop` picks, and inputs until lose_inputs_until.
  bool start(RelayDrop drop = nullptr) {
    WriteFile(dir / "maps/room.vnxm", kRoom);
    WriteFile(dir / "maps/hall.vnxm", kRoom);
    server.input_pipe = true;
    const uint16_t port = StartServer(server, {"-port", "0", "-map", "room", "-map", "hall"}, dir.path());
    if (port == 0) return false;
    RelayDrop lose = [this, drop](int link, bool up, const uint8_t* d, int len) {
      if (up && len >= 1 && d[0] == MSG_INPUT && NowMs() < lose_inputs_until) return true;
      return drop && drop(link, up, d, len);
    };
    relay = std::make_unique<LossyRelay>(
        port, 1, RelayFaults{0, 0, 0}, 7,
        RelayTaps{[this](int, bool up, const uint8_t* d, int len) { watch.arrived(up, d, len); }, nullptr, lose});
    client.env = {"SDL_VIDEODRIVER=dummy", "ALSOFT_DRIVERS=null"};
    return client.start(
        BinaryPath("vornaxdm"),
        {"--connect", "127.0.0.1:" + std::to_string(relay->portFor(0)), "--walk-circles", "6", "--frames", "3000"},
        dir.path(), dir / "client.out");
  }
  bool inGame() {
    return WaitFor([&] { return watch.alive_snapshots >= 3; }, 15000);
  }
  // Milliseconds from sending the console command to the client seen in the
  // game again, -1 when it never came back.
  long long backAfter(const std::string& command) {
    const int before = watch.not_connected;
    const long long sent = NowMs();
    lose_inputs_until = sent + 100;
    server.input(command + "\n");
    if (!WaitFor([&] { return watch.not_connected > before; }, 5000)) return -1;
    if (!inGame()) return -1;
    return NowMs() - sent;
  }
  int connectionLostLines() { return Occurrences(ReadFile(dir / "outlog.txt"), "Connection lost"); }
};


TEST(Rejoin, AfterAMapChangeAndAKickTheClientIsBackWithoutConnectionLost) {
  if (!ProgramsBuilt()) GTEST_SKIP() << "programs not built";
  Game game;
  ASSERT_TRUE(game.start());
  ASSERT_TRUE(game.inGame());
  const long long after_map = game.backAfter("next");
  EXPECT_GE(after_map, 0) << "not back after the map change";
  const long long after_kick = game.backAfter("kick " + std::to_string(game.watch.slot.load()) + " 0");  // 0: no time kept out
  EXPECT_GE(after_kick, 0) << "not back after the kick";
  EXPECT_EQ(game.connectionLostLines(), 0) << ReadFile(game.dir / "outlog.txt");
  std::printf("back in the game %lld ms after the map change, %lld ms after the kick\n", after_map, after_kick);
}

TEST(Rejoin, ALostFirstInputCostsNoConnectionLost) {
  if (!ProgramsBuilt()) GTEST_SKIP() << "programs not built";
  Game game;
  std::atomic<int> inputs_seen{0};
  const long long start = NowMs();
  ASSERT_TRUE(game.start([&](int, bool up, const uint8_t* d, int len) {
    return up && len >= 1 && d[0] == MSG_INPUT && inputs_seen++ == 0;
  }));
  ASSERT_TRUE(game.inGame());
  EXPECT_EQ(game.connectionLostLines(), 0) << ReadFile(game.dir / "outlog.txt");
  std::printf("in the game %lld ms after the start, the first input lost\n", NowMs() - start);
}

}  // namespace
