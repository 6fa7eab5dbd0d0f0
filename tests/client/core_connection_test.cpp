// Staying connected: a server that falls silent is noticed and joined again
// when it comes back, a connection attempt nobody answers says so, and
// --connect takes host names without touching the saved server (a name that
// does not resolve: ClientProgram in tests/e2e).
#include "client/core/config.h"
#include "client_test.h"

namespace {

class ConnectionTest : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    StartUp();
  }
  UdpPeer peer;
};

TEST_F(ConnectionTest, ASilentServerIsLostAfterThreeSecondsAndJoinedAgainWhenItAnswers) {
  ASSERT_TRUE(ConnectFromArgument("127.0.0.1:" + std::to_string(peer.port())));
  SpeakOnly28(peer);
  peer.sendTo(local_port, Snapshot(10, {}));
  ClientFrame();
  ASSERT_EQ(conn_state, CS_CONNECTED);
  Frames(kLostServerFrames - 1);
  EXPECT_EQ(conn_state, CS_CONNECTED);
  peer.sendTo(local_port, Snapshot(11, {}));  // any datagram keeps it alive
  Frames(kLostServerFrames);  // the first of them hears it
  EXPECT_EQ(conn_state, CS_CONNECTED);
  EXPECT_FALSE(LoggedStart("Connection lost"));

  ClientFrame();
  EXPECT_EQ(conn_state, CS_CONNECTING);
  EXPECT_TRUE(awaiting_info);
  const std::string lost = "Connection lost: nothing from 127.0.0.1:" + std::to_string(peer.port());
  EXPECT_TRUE(LoggedStart(lost));
  EXPECT_NE(ReadFile("outlog.txt").find(lost), std::string::npos);

  // Back to connecting as at start-up: a request once a second.
  peer.drain();
  Frames(33);
  const std::vector<std::string> sent = peer.drain();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0][0], MSG_CONNECT);
  peer.sendTo(local_port, Snapshot(1, {}));
  ClientFrame();
  EXPECT_EQ(conn_state, CS_CONNECTED);
}

TEST_F(ConnectionTest, AConnectionAttemptNobodyAnswersSaysSoEveryFiveSeconds) {
  ASSERT_TRUE(ConnectFromArgument("127.0.0.1:" + std::to_string(peer.port())));
  Frames(kNoAnswerNoticeFrames - 1);
  EXPECT_FALSE(LoggedStart("No answer"));
  ClientFrame();
  const std::string notice = "No answer from 127.0.0.1:" + std::to_string(peer.port()) + " for 5 seconds";
  EXPECT_TRUE(LoggedStart(notice));
  EXPECT_NE(ReadFile("outlog.txt").find(notice), std::string::npos);
  // A refusal of our connect is an answer: the count starts again.
  const uint64_t nonce = ParseConnect29(peer.drain().back()).nonce;
  peer.sendTo(local_port, Datagram().byte(MSG_SERVERFULL).quad(nonce));
  Frames(kNoAnswerNoticeFrames);
  auto notices = [] {
    return std::count_if(log_lines.begin(), log_lines.end(), [](const std::string& l) { return l.rfind("No answer", 0) == 0; });
  };
  EXPECT_EQ(notices(), 1);
  EXPECT_EQ(conn_state, CS_CONNECTING);
  // Every 5 s on screen; outlog.txt keeps the first of the silence.
  Frames(2 * kNoAnswerNoticeFrames);
  EXPECT_EQ(notices(), 3);
  EXPECT_TRUE(LoggedStart(notice.substr(0, notice.size() - 9) + "10 seconds"));
  const std::string outlog = ReadFile("outlog.txt");
  EXPECT_EQ(outlog.find("for 10 seconds"), std::string::npos);
}

TEST_F(ConnectionTest, HostNamesResolveAndAOneOffConnectLeavesTheSavedServer) {
  cfg.server_address = "127.0.0.9";
  cfg.server_port = 4242;
  ASSERT_TRUE(ConnectFromArgument("localhost:" + std::to_string(peer.port())));
  EXPECT_EQ(cfg.server_address, "127.0.0.1");
  EXPECT_EQ(cfg.server_port, peer.port());
  EXPECT_EQ(conn_state, CS_CONNECTING);
  EXPECT_TRUE(LoggedStart("localhost is 127.0.0.1"));
  ClientFrame();
  EXPECT_EQ(peer.receive(1000)[0], MSG_CONNECT);
  SaveConfig("config.cfg");
  EXPECT_NE(ReadFile("config.cfg").find("\r\nsvip=127.0.0.9\r\nsvport=4242\r\n"), std::string::npos);
  EXPECT_EQ(cfg.server_address, "127.0.0.1");  // saving does not change where it talks to

  // The menu's Connect saves what it connects to.
  conn_state = CS_IDLE;
  Connect();
  SaveConfig("config.cfg");
  EXPECT_NE(ReadFile("config.cfg").find("\r\nsvip=127.0.0.1\r\nsvport=" + std::to_string(peer.port()) + "\r\n"),
            std::string::npos);
}

TEST_F(ConnectionTest, ABadPortOrEmptyHostConnectsNowhere) {
  for (const std::string arg : {"127.0.0.1:0", "127.0.0.1:65536", "127.0.0.1:12ab", ":35700", "localhost:"}) {
    SCOPED_TRACE(arg);
    EXPECT_FALSE(ConnectFromArgument(arg));
    EXPECT_EQ(conn_state, CS_IDLE);
    EXPECT_TRUE(menu_open);
    EXPECT_NE(ReadFile("outlog.txt").find("Cannot connect to " + arg + ": "), std::string::npos);
  }
  EXPECT_EQ(cfg.server_address, "127.0.0.1");
  EXPECT_EQ(cfg.server_port, 10666);
}

TEST_F(ConnectionTest, TheJoinKeyPressedBeforeTheGameInformationIsKeptAndSentAfter) {
  ASSERT_TRUE(ConnectFromArgument("127.0.0.1:" + std::to_string(peer.port())));
  SpeakOnly28(peer);
  const SnapEntry watching{.slot = 3, .state = PS_SPECTATOR};
  peer.sendTo(local_port, Snapshot(10, {watching}, {}, OwnBlock{.slot = 3}));
  Tap(cfg.key_specjoin);
  ASSERT_EQ(conn_state, CS_CONNECTED);
  peer.sendTo(local_port, Snapshot(11, {watching}, {}, OwnBlock{.slot = 3}));
  ClientFrame();
  std::vector<std::string> sent = peer.drain(MSG_INPUT);
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back()[5], ACT_INFO);  // the information first

  Deliver(Datagram().byte(MSG_GAMEINFO).word(0).raw(std::string("000000\0", 7)).str("m").str("s"));
  ASSERT_FALSE(awaiting_info);
  peer.sendTo(local_port, Snapshot(12, {watching}, {}, OwnBlock{.slot = 3}));
  ClientFrame();
  sent = peer.drain(MSG_INPUT);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0][5], ACT_SPECJOIN);
  EXPECT_FALSE(LoggedStart("You are watching."));  // it is joining: no hint
  // Asked once: no second toggle while the snapshots catch up.
  for (uint16_t t = 13; t < 40; ++t) {
    peer.sendTo(local_port, Snapshot(t, {watching}, {}, OwnBlock{.slot = 3}));
    ClientFrame();
  }
  for (const std::string& d : peer.drain(MSG_INPUT)) EXPECT_NE(d[5], ACT_SPECJOIN);
}

TEST_F(ConnectionTest, ANewcomerIsToldOnceWhichKeyJoinsAndAPlayerWhoLeftIsNotPulledBack) {
  cfg.key_specjoin = 13;  // "return"
  ASSERT_TRUE(ConnectFromArgument("127.0.0.1:" + std::to_string(peer.port())));
  SpeakOnly28(peer);
  const SnapEntry watching{.slot = 2, .state = PS_SPECTATOR};
  const SnapEntry playing{.slot = 2, .state = PS_ALIVE, .x = 500, .y = 500};
  peer.sendTo(local_port, Snapshot(10, {watching}, {}, OwnBlock{.slot = 2}));
  ClientFrame();
  awaiting_info = false;
  Frames(40);
  EXPECT_EQ(LogCount("You are watching. Press return to join the game."), 1);

  // In the game, then back to watching by choice: the client stays out.
  peer.sendTo(local_port, Snapshot(11, {playing}, {}, OwnBlock{.slot = 2}));
  ClientFrame();
  peer.sendTo(local_port, Snapshot(12, {watching}, {}, OwnBlock{.slot = 2}));
  ClientFrame();
  peer.drain();
  for (uint16_t t = 13; t < 13 + 2 * kRejoinRetryFrames; ++t) {
    peer.sendTo(local_port, Snapshot(t, {watching}, {}, OwnBlock{.slot = 2}));
    ClientFrame();
  }
  for (const std::string& d : peer.drain(MSG_INPUT)) EXPECT_NE(d[5], ACT_SPECJOIN);
  EXPECT_EQ(LogCount("You are watching. Press return to join the game."), 1);
}

TEST(NormaliseAddress, KeepsFourNumbersOfEightBits) {
  EXPECT_EQ(NormaliseAddress("10.0.0.7"), "10.0.0.7");
  EXPECT_EQ(NormaliseAddress("1.2.3"), "1.2.3.0");
  EXPECT_EQ(NormaliseAddress("300.1.1.1"), "44.1.1.1");
  EXPECT_EQ(NormaliseAddress("1.2.3.4.5"), "1.2.3.45");
  EXPECT_EQ(NormaliseAddress("a1b.:2"), "1.2.0.0");
  EXPECT_EQ(NormaliseAddress(""), "0.0.0.0");
  // 10^20 - 1 is 255 modulo 256.
  EXPECT_EQ(NormaliseAddress("99999999999999999999.1"), "255.1.0.0");
}

}  // namespace
