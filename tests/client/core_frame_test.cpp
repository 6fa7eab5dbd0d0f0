// Start-up, the frame and shutdown of the client, with its real socket
// talking to a scripted peer on loopback.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <regex>

#include "client_test.h"

namespace {

class FrameTest : public ClientTest {
 protected:
  // Start-up, then the connection to the scripted peer as the menu makes it.
  void StartAndConnect() {
    StartUp();
    ConnectFromArgument("127.0.0.1:" + std::to_string(peer.port()));
    SpeakOnly28(peer);
  }
  // Puts a datagram from the peer in the client's socket, for its next frame.
  void Send(const std::string& bytes) {
    peer.sendTo(local_port, bytes);
    ASSERT_TRUE(WaitFor([] { return DatagramWaiting(local_port); }, 2000));
  }
  UdpPeer peer;
};

// A UDP socket holding a port, to see the client probe past it.
struct PortHolder {
  explicit PortHolder(uint16_t port) {
    fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    bound = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  ~PortHolder() { ::close(fd); }
  int fd;
  bool bound;
};

TEST_F(FrameTest, StartsWithoutConfigIntoTheMenuWithTheTimerRunning) {
  StartUp();
  EXPECT_TRUE(timer1_enabled);
  EXPECT_TRUE(menu_open);
  // Centred on the screen with the design size it has before the settings apply.
  EXPECT_EQ(mouse_anchor_x, 960);
  EXPECT_EQ(headless_window_left, 960 - (792 + HEADLESS_BORDER_W) / 2);
  EXPECT_EQ(headless_window_top, 540 - (500 + HEADLESS_BORDER_H) / 2);
  ASSERT_FALSE(log_lines.empty());
  EXPECT_EQ(log_lines.back(), "UDP initialiazed! Local socket port " + std::to_string(local_port));
  ClientFrame();
  EXPECT_EQ(frame_counter, 1);
}

TEST_F(FrameTest, BusyPortsAreLoggedAndSkipped) {
  uint16_t first = 0;
  std::unique_ptr<PortHolder> holder;
  for (uint16_t p = 41000; p < 42000 && !holder; p += 7) {
    auto h = std::make_unique<PortHolder>(p);
    PortHolder probe(static_cast<uint16_t>(p + 1));
    if (h->bound && probe.bound) {
      first = p;
      holder = std::move(h);
    }
  }
  ASSERT_NE(first, 0);
  local_port = first;
  ASSERT_TRUE(InitNetwork());
  EXPECT_EQ(local_port, first + 1);
  ASSERT_EQ(log_lines.size(), 2u);
  EXPECT_EQ(log_lines[0], "Port " + std::to_string(first) + " blocked, try next...");
  EXPECT_EQ(log_lines[1], "UDP initialiazed! Local socket port " + std::to_string(first + 1));
  // Only the failure went to outlog.txt, with date and time in front.
  const std::regex line("\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d Port \\d+ blocked, try next\\.\\.\\.\r\n");
  EXPECT_TRUE(std::regex_match(ReadFile("outlog.txt"), line)) << ReadFile("outlog.txt");
}

TEST_F(FrameTest, ConnectRequestGoesOutOnceEvery33FramesWithTheScoreboard) {
  StartUp();
  cfg.name = "Tester";
  cfg.team = 2;
  ConnectFromArgument("127.0.0.1:" + std::to_string(peer.port()));
  SpeakOnly28(peer);
  EXPECT_EQ(conn_state, CS_CONNECTING);
  EXPECT_FALSE(menu_open);
  l_sb_s.caption.clear();
  ClientFrame();  // frame_counter is 0 in this frame
  EXPECT_EQ(peer.receive(1000), ConnectMessage("Tester", 2));
  EXPECT_EQ(log_lines.back(), "Trying connect to 127.0.0.1:" + std::to_string(peer.port()));
  EXPECT_EQ(l_sb_s.caption, "score \r");
  Frames(32);
  EXPECT_TRUE(peer.drain().empty());
  ClientFrame();
  EXPECT_EQ(peer.receive(1000)[0], 'f');

  // Refusals change nothing: the request goes on once a second.
  Send("q");
  Frames(33);
  EXPECT_EQ(LogCount("Server ful"), 1);
  EXPECT_EQ(conn_state, CS_CONNECTING);
  EXPECT_EQ(peer.drain().size(), 1u);
}

// Version 28 (the server said it speaks only 28, and the client keeps to 28
// when it connects to it again).
TEST_F(FrameTest, DatagramsWaitWhileIdleAndAreReadAfterConnecting) {
  StartAndConnect();
  ClientFrame();
  conn_state = CS_IDLE;  // the menu's Disconnect
  SendDisconnect();
  peer.drain();
  Send(Snapshot(77, {}, {}, OwnBlock{.slot = 4}));
  ClientFrame();
  EXPECT_EQ(conn_state, CS_IDLE);
  EXPECT_EQ(server_tick, 0);

  ConnectFromArgument("127.0.0.1:" + std::to_string(peer.port()));
  ClientFrame();
  EXPECT_EQ(conn_state, CS_CONNECTED);  // the stale snapshot connects at once
  EXPECT_EQ(server_tick, 77);
  EXPECT_EQ(my_slot, 4);
  // The same frame already sends input, asking for the game information.
  std::vector<std::string> sent = peer.drain();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back(), InputMessage(77, 0, ACT_INFO, 65, 65, 0));
}

TEST_F(FrameTest, InputEveryFrameEchoesTickAngleActionPositionAndLogIndex) {
  StartAndConnect();
  // The own slot is learnt at the end of the first snapshot, so the second
  // one places the local player.
  Send(Snapshot(299, {{.slot = 2, .state = 3, .x = 1000, .y = 2000, .dir = 90}}, {}, OwnBlock{.slot = 2}));
  ClientFrame();
  EXPECT_EQ(local_x, 65);
  Send(Snapshot(300, {{.slot = 2, .state = 3, .x = 1000, .y = 2000, .dir = 90}}, {}, OwnBlock{.slot = 2}));
  ClientFrame();
  EXPECT_EQ(local_x, 1000);
  peer.drain();
  awaiting_info = false;
  log_ack = 7;
  view_angle = 90.7f;
  key_state[cfg.key_attack] = 1;  // recorded by the mouse handler between frames
  const SnapEntry me{.slot = 2, .state = 3, .x = 1000, .y = 2000, .dir = 90};
  Send(Snapshot(301, {me}, {}, OwnBlock{.slot = 2}));
  ClientFrame();  // net_angle comes from the previous frame's camera
  Send(Snapshot(302, {me}, {}, OwnBlock{.slot = 2}));
  ClientFrame();
  std::vector<std::string> sent = peer.drain();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1], InputMessage(302, 90, ACT_FIRE, 1000, 2000, 7));

  // One input per server tick: without a newer snapshot the frame sends
  // nothing, a newer one lets it out again, also while the menu is open.
  ClientFrame();
  EXPECT_TRUE(peer.drain().empty());
  menu_open = true;
  Send(Snapshot(303, {me}, {}, OwnBlock{.slot = 2}));
  ClientFrame();
  EXPECT_EQ(peer.drain().size(), 1u);
}

TEST_F(FrameTest, ShutdownTwiceSendsOneDisconnectAndWritesTheSameConfig) {
  StartAndConnect();
  Send(Snapshot(1, {}));
  ClientFrame();
  peer.drain();
  Shutdown();
  EXPECT_TRUE(headless_quit_requested);
  EXPECT_EQ(peer.receive(1000), "g");
  const std::string first = ReadFile("config.cfg");
  EXPECT_NE(first.find("svip=127.0.0.1\r\nsvport=10666\r\n"), std::string::npos) << "a one-off server was saved";
  Shutdown();
  EXPECT_EQ(peer.receive(200), "");
  EXPECT_EQ(ReadFile("config.cfg"), first);
}

}  // namespace
