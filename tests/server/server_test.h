// The server under test, in this process: a fresh server for every test with
// its console in a temporary file, the real start-up on a port the system
// picks, client sockets on loopback, small maps drawn as text and players
// placed by hand.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "server/core/console.h"
#include "server/core/rotation.h"
#include "server/core/startup.h"
#include "server/net/net_settings.h"
#include "server/net/netproto.h"
#include "server/net/sessions.h"
#include "server/net/udp.h"
#include "server/sim/bots.h"
#include "server/sim/combat.h"
#include "server/sim/maps.h"
#include "server/sim/match_settings.h"
#include "server/sim/movement.h"
#include "server/sim/msglog.h"
#include "server/sim/rules.h"
#include "server/sim/world.h"
#include "support/process.h"
#include "support/server_world.h"
#include "support/udp_peer.h"
#include "support/wire.h"

// Centre of cell (column, row), in position units.
constexpr uint16_t Centre(int cell) { return static_cast<uint16_t>(64 * cell + 32); }

// A client socket talking to the server under test.
struct Peer : UdpPeer {
  void send(const std::string& bytes) const { sendTo(NET_PORT, bytes); }
};

// A message-log datagram: the index of its last line and the lines.
struct LogBatch {
  uint16_t last = 0;
  std::vector<std::string> lines;
};
LogBatch ParseLog(const std::string& datagram);
// The tick of the newest version-28 snapshot waiting for the peer (as sent,
// the slot's tick offset included), taking every snapshot waiting; 0 when none.
uint16_t LastSnapshotTick(const Peer& peer);

// The line appended k lines ago (0 = the newest).
inline std::string LogLine(int k = 0) { return SV_LOG[k].str(); }
inline void AddLine(const std::string& line) { SV_ADDMSG(ShortStr(line)); }

// A map file in maps/ of the working directory.
inline void WriteMap(const std::string& name, const std::string& text) { WriteFile("maps/" + name + ".vnxm", text); }
// Makes the given rows the current map through the server's own loader: row 1
// is the first string, column 1 its first character, as in a map file.
void UseMap(const std::vector<std::string>& rows);
// Occupies a slot as a spectator, or as a joined, living player freshly
// respawned at (x, y).
void AddSpectator(uint8_t slot);
void AddPlayer(uint8_t slot, uint16_t x, uint16_t y, uint8_t team = 0);
// The simulated part of one active tick: bots and clock, items, slot timers.
void SimTick();

// What a version-28 client echoes for a tick: the tick as its slot's
// snapshots carry it, the slot's random offset added.
inline uint16_t Echo(uint8_t slot, uint16_t tick) {
  return static_cast<uint16_t>(tick + SV_CLIENTSLIST[slot].tick_offset);
}

inline void ExpectInvariants() { EXPECT_EQ(WorldFault(), ""); }

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetServer(); }
  void TearDown() override {
    SV_RESETALL();
    CON_SETOUTPUT(nullptr);
    if (console_) std::fclose(console_);
  }
  // A fresh server; the console starts again.
  void ResetServer();
  // The real start-up with these arguments, on a port the system picks.
  void startServer(std::vector<std::string> args = {});
  // A fresh server with these options instead of the one running.
  void restart(std::vector<std::string> args) {
    ResetServer();
    startServer(std::move(args));
  }
  // Everything the console has shown since the last reset.
  std::string consoleText();
  void ticks(int n) {
    for (int i = 0; i < n; ++i) GAMECYCLE();
  }
  // An input that echoes the newest snapshot the peer received, as a client's first does.
  static void enter(const Peer& peer) { peer.send(InputMessage(LastSnapshotTick(peer), 0, ACT_NONE, 0, 0, 0)); }
  // Connects a peer as a version-28 client does, in two ticks: the connect,
  // then enter(); its slot.
  uint8_t connect(const Peer& peer, const std::string& name, uint8_t team = 0);
  // Many clients from one address: the limits per address out of the way.
  static std::vector<std::string> manyClients() { return {"-ipslots", "24", "-ipconnects", "255", "-connects", "255"}; }
  static uint8_t slotOf(const Peer& peer);
  // n client sockets, not yet connected.
  static std::vector<std::unique_ptr<Peer>> newPeers(int n);
  // Peers connected one after the other, each in its own slot.
  std::vector<std::unique_ptr<Peer>> connectPeers(int n, const std::string& prefix = "p");

  std::FILE* console_ = nullptr;
};

// A server running with the default options in every test.
class RunningServer : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    startServer();
  }
};
