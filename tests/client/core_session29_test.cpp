// Version 29 from the client's side against a scripted server on loopback:
// the handshake and its pacing, the token in every datagram both ways, the
// fallback to 28 for a server that speaks only 28, and what the client does
// not believe: other ports, wrong tokens and nonces, log batches from
// beyond what the server can have sent.
#include "client_test.h"

namespace {

constexpr uint64_t kToken = 0x1122334455667788ULL;

class Session29Test : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    StartUp();
    menu_open = false;
    ConnectFromArgument("127.0.0.1:" + std::to_string(server.port()));
  }
  // Connects made in each of `n` frames: 1 or 0 per frame.
  std::string ConnectsPerFrame(int n) {
    std::string pattern;
    for (int i = 0; i < n; ++i) {
      ClientFrame();
      pattern += std::to_string(server.drain(MSG_CONNECT).size());
    }
    return pattern;
  }
  UdpPeer server;
};

TEST_F(Session29Test, HandshakeThenTheTokenRidesEveryDatagramBothWays) {
  ClientFrame();
  const std::string first = server.receive(1000);
  ASSERT_EQ(first.size(), 64u);
  Connect29 c = ParseConnect29(first);
  ASSERT_TRUE(c.ok);
  EXPECT_EQ(c.name, cfg.name);
  EXPECT_EQ(c.cookie, 0u);
  // A challenge for another nonce, and a welcome before any cookie, are
  // someone else's.
  server.sendTo(local_port, Datagram().byte(MSG_CHALLENGE).quad(c.nonce + 1).quad(77));
  server.sendTo(local_port, Datagram().byte(MSG_WELCOME).quad(c.nonce + 1).quad(kToken).byte(5));
  ClientFrame();
  EXPECT_EQ(ParseConnect29(server.drain().back()).cookie, 0u);
  // Ours: the connect with the cookie goes at once, then every 3 frames.
  server.sendTo(local_port, Datagram().byte(MSG_CHALLENGE).quad(c.nonce).quad(77));
  EXPECT_EQ(ConnectsPerFrame(7), "1001001");
  server.sendTo(local_port, Datagram().byte(MSG_CHALLENGE).quad(c.nonce).quad(78));
  Frames(3);
  EXPECT_EQ(ParseConnect29(server.drain().back()).cookie, 77u) << "the first cookie is kept";

  server.sendTo(local_port, Datagram().byte(MSG_WELCOME).quad(c.nonce).quad(kToken).byte(5));
  EXPECT_EQ(ConnectsPerFrame(10), "0000000000") << "no connects after the welcome";
  EXPECT_EQ(conn_state, CS_CONNECTING);
  server.sendTo(local_port, Snapshot(3, {}, {}, OwnBlock{.slot = 5}));  // the 28 form
  server.sendTo(local_port, Snapshot29(kToken + 1, 3, {}, OwnBlock{.slot = 5}));
  ClientFrame();
  EXPECT_EQ(conn_state, CS_CONNECTING);
  server.sendTo(local_port, Snapshot29(kToken, 4, {}, OwnBlock{.slot = 5}, 0));
  ClientFrame();
  ASSERT_EQ(conn_state, CS_CONNECTED);
  EXPECT_EQ(my_slot, 5);
  EXPECT_EQ(SessionVersion(), PROTOCOL_SESSIONS);

  // Inputs: the token, the acknowledgement, a sequence number and the
  // newest frames, the newest first, up to four.
  std::vector<std::string> inputs;
  for (uint16_t tick = 5; tick < 11; ++tick) {
    server.sendTo(local_port, Snapshot29(kToken, tick, {}, OwnBlock{.slot = 5}, 3));
    ClientFrame();
    for (const std::string& d : server.drain()) inputs.push_back(d);
  }
  ASSERT_GE(inputs.size(), 5u);
  EXPECT_EQ(AppliedInputSequence(), 3);
  for (size_t i = 0; i < inputs.size(); ++i) {
    const std::string& d = inputs[i];
    ASSERT_EQ(d.substr(0, 9), Tokened(MSG_INPUT, kToken));
    const uint8_t count = static_cast<uint8_t>(d[13]);
    EXPECT_EQ(Field(d, 11, 2), i + 1) << "sequence";
    EXPECT_EQ(count, std::min<size_t>(i + 1, 4));
    ASSERT_EQ(d.size(), 14u + 9u * count);
    if (i > 0) {
      EXPECT_EQ(d.substr(14 + 9, 9), inputs[i - 1].substr(14, 9)) << "the frame before rides along";
    }
  }
  EXPECT_EQ(Field(inputs.back(), 14, 2), 10) << "the newest frame echoes the newest tick";

  // Game information and log lines only with the token.
  const std::string info_body = Datagram().word(0).raw(std::string("000000\0", 7)).str("Map29").str("S").bytes();
  server.sendTo(local_port, Datagram().byte(MSG_GAMEINFO).raw(info_body));
  server.sendTo(local_port, Tokened(MSG_GAMEINFO, kToken + 1) + info_body);
  ClientFrame();
  EXPECT_TRUE(awaiting_info);
  server.sendTo(local_port, Tokened(MSG_GAMEINFO, kToken) + info_body);
  ClientFrame();
  EXPECT_FALSE(awaiting_info);
  EXPECT_EQ(map_name, "Map29");
  players[2].name = "Ann";
  const std::string log_body = Datagram().word(1).byte(1).str(Line({EV_JOIN, 2})).bytes();
  server.sendTo(local_port, Tokened(MSG_LOG, 0) + log_body);
  ClientFrame();
  EXPECT_EQ(LogCount("Ann has joined the game!"), 0);
  server.sendTo(local_port, Tokened(MSG_LOG, kToken) + log_body);
  ClientFrame();
  EXPECT_EQ(LogCount("Ann has joined the game!"), 1);

  // Chat and disconnect carry the token too.
  server.drain();
  chat_line = "hi";
  SendChat();
  EXPECT_EQ(server.receive(1000), Tokened(MSG_CHAT, kToken) + Datagram().str("hi").bytes());
  SendDisconnect();
  EXPECT_EQ(server.receive(1000), Tokened(MSG_DISCONNECT, kToken));
  // "Not connected" counts only with our token echoed; then a new attempt
  // with a new nonce.
  server.sendTo(local_port, "o");
  server.sendTo(local_port, Tokened(MSG_NOTCONNECTED, kToken - 1));
  ClientFrame();
  EXPECT_EQ(conn_state, CS_CONNECTED);
  server.sendTo(local_port, Tokened(MSG_NOTCONNECTED, kToken));
  ClientFrame();
  EXPECT_EQ(conn_state, CS_CONNECTING);
  const Connect29 again = ParseConnect29(server.drain().back());
  EXPECT_TRUE(again.ok);
  EXPECT_NE(again.nonce, c.nonce);
  SendDisconnect();
  EXPECT_TRUE(server.drain().empty()) << "an attempt without a token has no session to leave";
}

TEST_F(Session29Test, ConnectsEveryFrameForTenSecondsThenEveryTenAndACookieLastsTwoSeconds) {
  std::string expected(330, '1');
  for (int i = 330; i < 360; ++i) expected += i % 10 == 0 ? '1' : '0';
  EXPECT_EQ(ConnectsPerFrame(360), expected);
  EXPECT_EQ(LogCount("Trying connect to 127.0.0.1:" + std::to_string(server.port())), 11) << "once a second";
  // A cookie that has not brought a welcome in 2 s is dropped.
  ClientFrame();  // frame 360: a plain connect
  const Connect29 plain = ParseConnect29(server.drain().back());
  server.sendTo(local_port, Datagram().byte(MSG_CHALLENGE).quad(plain.nonce).quad(5));
  std::string with_cookie;
  for (int i = 0; i < 80; ++i) {
    ClientFrame();
    for (const std::string& d : server.drain()) with_cookie += ParseConnect29(d).cookie == 5 ? 'c' : 'p';
  }
  EXPECT_EQ(with_cookie.substr(0, 22), std::string(22, 'c'));
  EXPECT_EQ(with_cookie.find('p'), 22u);
  EXPECT_EQ(with_cookie.substr(22), std::string(with_cookie.size() - 22, 'p'));
}

TEST_F(Session29Test, AServerThatSpeaksOnly28IsPlayedWith28UntilAnotherServerIsChosen) {
  cfg.name = "Old";
  ClientFrame();
  ASSERT_TRUE(ParseConnect29(server.receive(1000)).ok);
  ClientFrame();
  // Its answers to both connects; the first makes the client fall back and
  // connect with 28 at once, the second is no news.
  const std::string only28 = Datagram().byte(MSG_BADVERSION).byte(28);
  server.sendTo(local_port, only28);
  server.sendTo(local_port, only28);
  server.drain();
  ClientFrame();
  const std::string fallback = "The server speaks only protocol 28: playing without a session token";
  EXPECT_EQ(LogCount(fallback), 1);
  EXPECT_EQ(LogCount("Wrong protocol version! Server protocol: 28"), 0);
  EXPECT_EQ(server.drain(), std::vector<std::string>{ConnectMessage("Old")});
  EXPECT_EQ(SessionVersion(), PROTOCOL_VERSION);
  server.sendTo(local_port, Datagram().byte(MSG_BADVERSION).byte(27));
  ClientFrame();
  EXPECT_EQ(LogCount("Wrong protocol version! Server protocol: 27"), 1) << "as ever";

  // Then as today: 28 snapshots, 12-byte inputs.
  server.sendTo(local_port, Snapshot(40, {}, {}, OwnBlock{.slot = 2}));
  ClientFrame();
  ASSERT_EQ(conn_state, CS_CONNECTED);
  const std::vector<std::string> inputs = server.drain();
  ASSERT_EQ(inputs.size(), 1u);
  EXPECT_EQ(inputs[0].size(), 12u);
  EXPECT_EQ(inputs[0].substr(0, 3), Datagram().byte(MSG_INPUT).word(40).bytes());
  EXPECT_EQ(inputs[0][5], ACT_INFO);
  // Connecting again to it (the server lost us): still 28, once a second.
  Deliver("o");
  EXPECT_EQ(conn_state, CS_CONNECTING);
  const std::string pattern = ConnectsPerFrame(33);
  EXPECT_EQ(pattern[0], '1') << "at once after the server forgot us";
  EXPECT_LE(std::count(pattern.begin(), pattern.end(), '1'), 2) << "then once a second";
  EXPECT_EQ(LogCount(fallback), 1);

  // Another server: 29 again; and back to the first: 29 again, the
  // fallback is over.
  UdpPeer other;
  ConnectFromArgument("127.0.0.1:" + std::to_string(other.port()));
  ClientFrame();
  EXPECT_TRUE(ParseConnect29(other.receive(1000)).ok);
  ConnectFromArgument("127.0.0.1:" + std::to_string(server.port()));
  server.drain();
  ClientFrame();
  EXPECT_TRUE(ParseConnect29(server.receive(1000)).ok);
}

// What comes from elsewhere, or without the session's proof, changes nothing.
TEST_F(Session29Test, OnlyTheServersPortWithTheTokenOrNonceIsBelieved) {
  players[2].name = "Ann";
  const uint64_t nonce = Handshake29(server, kToken, 2);
  Deliver(Tokened(MSG_GAMEINFO, kToken) + Datagram().word(0).raw(std::string("000000\0", 7)).str("m").str("s").bytes());
  ASSERT_FALSE(awaiting_info);
  UdpPeer forger;  // the server's address, another port
  const std::string fake_line =
      Tokened(MSG_LOG, kToken) + Datagram().word(1).byte(1).str(Line({EV_CHAT, 2}, "I cheat")).bytes();
  forger.sendTo(local_port, fake_line);
  forger.sendTo(local_port, Snapshot29(kToken, 900, {}, OwnBlock{.slot = 9}));
  forger.sendTo(local_port, Tokened(MSG_NOTCONNECTED, kToken));
  ClientFrame();
  EXPECT_EQ(LogCount("Ann: I cheat"), 0);
  EXPECT_EQ(log_ack, 0);
  EXPECT_NE(server_tick, 900);
  EXPECT_EQ(conn_state, CS_CONNECTED);
  // From the server's port: wrong nonces, a refusal without one, the 28
  // "not connected" and a late version answer.
  server.sendTo(local_port, Datagram().byte(MSG_SERVERFULL).quad(nonce + 1));
  server.sendTo(local_port, "q");
  server.sendTo(local_port, "o");
  server.sendTo(local_port, Datagram().byte(MSG_BADVERSION).byte(28));
  server.sendTo(local_port, Datagram().byte(MSG_WELCOME).quad(nonce).quad(kToken + 5).byte(3));
  server.sendTo(local_port, Snapshot29(kToken + 5, 901, {}, OwnBlock{.slot = 3}));
  ClientFrame();
  EXPECT_EQ(LogCount("Server ful"), 0);
  EXPECT_EQ(conn_state, CS_CONNECTED);
  EXPECT_EQ(SessionVersion(), PROTOCOL_SESSIONS);
  EXPECT_EQ(my_slot, 2);
  // A batch from beyond what the server can have sent: more than a batch
  // past our acknowledgement, more lines than a batch holds, or none.
  const std::string chat = Line({EV_CHAT, 2}, "x");
  Deliver(Tokened(MSG_LOG, kToken) + Datagram().word(LOG_BATCH_LIMIT + 1).byte(1).str(chat).bytes());
  Datagram eleven;
  eleven.word(5).byte(11);
  for (int i = 0; i < 11; ++i) eleven.str(chat);
  Deliver(Tokened(MSG_LOG, kToken) + eleven.bytes());
  Deliver(Tokened(MSG_LOG, kToken) + Datagram().word(5).byte(0).bytes());
  EXPECT_EQ(log_ack, 0);
  EXPECT_EQ(LogCount("Ann: x"), 0);
  Deliver(Tokened(MSG_LOG, kToken) +
          Datagram().word(LOG_BATCH_LIMIT).byte(LOG_BATCH_LIMIT).raw(eleven.bytes().substr(3)).bytes());
  EXPECT_EQ(log_ack, LOG_BATCH_LIMIT);
  EXPECT_EQ(LogCount("Ann: x"), LOG_BATCH_LIMIT) << "the real lines still come in";
}

// The attack on version 28: one forged batch from another port
// showed a line and froze the log.
TEST_F(Session29Test, Version28AlsoHearsOnlyTheServersPortAndNoBatchFromBeyond) {
  SpeakOnly28(server);
  ClientFrame();
  server.sendTo(local_port, Snapshot(10, {}, {}, OwnBlock{.slot = 2}));
  ClientFrame();
  ASSERT_EQ(conn_state, CS_CONNECTED);
  awaiting_info = false;
  players[2].name = "Ann";
  UdpPeer forger;
  forger.sendTo(local_port, Datagram().byte(MSG_LOG).word(30000).byte(1).str(Line({EV_CHAT, 2}, "I cheat")));
  server.sendTo(local_port, Datagram().byte(MSG_LOG).word(30000).byte(1).str(Line({EV_CHAT, 2}, "I cheat")));
  ClientFrame();
  EXPECT_EQ(LogCount("Ann: I cheat"), 0);
  EXPECT_EQ(log_ack, 0);
  server.sendTo(local_port, Datagram().byte(MSG_LOG).word(1).byte(1).str(Line({EV_CHAT, 2}, "hello")));
  ClientFrame();
  EXPECT_EQ(LogCount("Ann: hello"), 1);
}

// Mutated version-29 messages with the right token: nothing leaves the tables.
TEST_F(Session29Test, BrokenTokenedMessagesAreReadSafely) {
  Handshake29(server, kToken, 3);
  const std::vector<std::string> shapes = {
      Snapshot29(kToken, 9, {{.slot = 1, .state = 4, .x = 200, .y = 200, .gun = 4}, {.slot = 2, .state = 2}}),
      Tokened(MSG_GAMEINFO, kToken) + Datagram()
                                          .word(3)
                                          .raw("000000")
                                          .byte(0)
                                          .str("m")
                                          .str("s")
                                          .byte(1)
                                          .byte(0)
                                          .byte(8)
                                          .byte(2)
                                          .byte(1)
                                          .byte(1)
                                          .str("Ann")
                                          .bytes(),
      Tokened(MSG_LOG, kToken) + Datagram().word(4).byte(2).str(Line({1, 2, 1}, "Cy")).str(Line({5, 4, 1, 2})).bytes()};
  for (int i = 0; i < 4000; ++i) {
    std::string d = shapes[i % shapes.size()];
    d.resize(1 + (i * 7) % d.size());  // cut anywhere, the token too
    if (i % 3 == 0 && d.size() > 10) d[9 + i % (d.size() - 9)] = static_cast<char>(i * 31);
    conn_state = CS_CONNECTED;
    awaiting_info = i % 2 == 0;
    Deliver(d);
    ASSERT_GE(my_slot, 1);
    ASSERT_LE(my_slot, MAX_SLOTS);
    ASSERT_EQ(map_text[MAP_TEXT_SIZE], 0);
  }
}

}  // namespace
