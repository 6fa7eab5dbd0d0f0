// What one player's connection carries in a full game: one human and 23 bots
// on a shipped map, measured at the client for ten seconds of play.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "support/process.h"
#include "support/scripted_client.h"

namespace {

constexpr int kUdpIpHeader = 28;  // IPv4 20 + UDP 8 bytes per datagram

TEST(Bandwidth, OneClientInAFullGameOfBots) {
  if (!ServerBuilt()) GTEST_SKIP() << "server not built";
  TempDir dir;
  std::filesystem::copy(std::string(VORNAX_SOURCE_DIR) + "/maps", dir.path() + "/maps");
  ChildProcess server;
  const uint16_t port =
      StartServer(server, {"-port", "0", "-map", "castle", "-bots", "23", "-maxplayers", "24", "-score", "200"},
                  dir.path());
  ASSERT_NE(port, 0);

  ScriptedClient player("Measured", 0, port);
  // Two seconds to connect, join and let the bots arrive, then ten measured.
  PlayFor(2000, {&player});
  long in0 = player.bytesReceived(), din0 = player.datagramsReceived();
  long out0 = player.bytesSent(), dout0 = player.datagramsSent();
  long long start = NowMs();
  PlayFor(10000, {&player});
  double seconds = (NowMs() - start) / 1000.0;
  double down = ((player.bytesReceived() - in0) + kUdpIpHeader * (player.datagramsReceived() - din0)) / seconds;
  double up = ((player.bytesSent() - out0) + kUdpIpHeader * (player.datagramsSent() - dout0)) / seconds;
  std::printf("per client: %.0f bytes/s down (%.1f datagrams/s), %.0f bytes/s up, with IPv4 and UDP headers\n", down,
              (player.datagramsReceived() - din0) / seconds, up);
  RecordProperty("bytes_per_second_down", std::to_string(static_cast<long>(down)));
  RecordProperty("bytes_per_second_up", std::to_string(static_cast<long>(up)));

  // 24 players in the snapshot, one snapshot per tick: well under 20 kB/s.
  EXPECT_GT(player.datagramsReceived() - din0, 250);
  EXPECT_LT(down, 20000);
  EXPECT_LT(up, 2000);
  EXPECT_EQ(server.stop(), 0);
}

}  // namespace
