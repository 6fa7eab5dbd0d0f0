// The real vornaxdm program under SDL's dummy video driver: it must start
// with no config.cfg and no sound device, run its frames, talk UDP and end
// cleanly.
#include <chrono>

#include "core_test_env.h"

namespace {

class ProgramTest : public CoreTest {
 protected:
  ChildProgram client;
};

TEST_F(ProgramTest, StartsWithoutConfigRunsItsFramesAndSavesTheDefaults) {
  ASSERT_FALSE(FileExists("config.cfg"));
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(client.Start("vornaxdm", {"--frames", "66"}, "client.out"));
  EXPECT_EQ(client.Wait(60), 0) << ReadFile("client.out");
  // 66 frames of 30 ms take about two seconds; there is no catch-up.
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1900));
  const std::string config = ReadFile("config.cfg");
  EXPECT_EQ(config.rfind("name=VornaxPlayer\r\nteam=0\r\n", 0), 0u) << config;
  EXPECT_NE(config.find("\r\nww=800\r\nfscr=0\r\n"), std::string::npos);
}

TEST_F(ProgramTest, ConnectOptionReachesTheServerAndAnswersItsSnapshots) {
  FakePeer peer;
  ASSERT_TRUE(client.Start("vornaxdm", {"--connect", "127.0.0.1:" + std::to_string(peer.port()), "--frames", "150"},
                           "client.out"));
  EXPECT_EQ(peer.Receive(10000), Datagram().byte('f').byte(28).str("VornaxPlayer").byte(0).bytes());
  const uint16_t client_port = peer.sender_port();

  // The first snapshot connects it: from then on one input message a frame,
  // asking for the game information until it arrives.
  peer.SendTo(client_port, Snapshot(500, {}, {}, OwnBlock{.slot = 3}));
  std::string input = peer.Receive();
  ASSERT_EQ(input.size(), 12u);
  EXPECT_EQ(input[0], 'h');
  EXPECT_EQ(input.substr(1, 2), "\xF4\x01");  // the tick echo
  EXPECT_EQ(input[5], 15);

  peer.SendTo(client_port, Datagram().byte('l').word(0).raw("000000").byte(0).str("DefMap").str("S").bytes());
  bool info_stopped = false;
  for (int i = 0; i < 20 && !info_stopped; ++i) info_stopped = peer.Receive()[5] == 0;
  EXPECT_TRUE(info_stopped);

  // At the end of its frames it says goodbye.
  EXPECT_EQ(client.Wait(60), 0) << ReadFile("client.out");
  std::vector<std::string> rest = peer.Drain();
  ASSERT_FALSE(rest.empty());
  EXPECT_EQ(rest.back(), "g");
}

}  // namespace
