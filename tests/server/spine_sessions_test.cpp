// Client sessions and the message-log stream through real UDP: first lines,
// catch-up in batches, resends, removal when too far behind, time-outs, and
// the wrap of the 16-bit line counter.
#include "spine_helpers.h"

namespace spine {
namespace {

class Sessions : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    startServer();
  }
  void addLines(int n) {
    for (int i = 0; i < n; ++i) SV_ADDMSG(line({EV_SERVERINFO}, "event " + std::to_string(i)));
  }
  // One tick in which the peer keeps alive, acknowledging `ack`.
  std::vector<Bytes> tickWith(const UdpPeer& peer, uint16_t ack) {
    peer.send(inputMessage(SV_PINGVAR, 0, 0, 0, 0, ack));
    GAMECYCLE();
    return peer.drainCode(MSG_LOG);
  }
};

TEST_F(Sessions, FirstClientReceivesTheSecondBannerLineThenItsOwnConnect) {
  UdpPeer peer;
  connect(peer, "Ann");
  auto logs = peer.drainCode(MSG_LOG);
  ASSERT_EQ(logs.size(), 1u);
  LogBatch b = parseLog(logs[0]);
  EXPECT_EQ(b.last, 3);
  ASSERT_EQ(b.lines.size(), 2u);
  EXPECT_EQ(b.lines[0], "\x0aPlayerlimit: 10, scorelimit: 20, teamplay: no");
  EXPECT_EQ(b.lines[1], std::string("\x01\x01\x00" "Ann", 6));
}

TEST_F(Sessions, CatchUpOf25LinesComesIn10And10And5FifteenTicksApart) {
  UdpPeer peer;
  connect(peer, "Late");
  auto first = parseLog(peer.drainCode(MSG_LOG).at(0));
  uint16_t ack = first.last;
  addLines(25);
  std::vector<std::pair<int, LogBatch>> received;
  for (int t = 1; t <= 60; ++t)
    for (auto& d : tickWith(peer, ack)) {
      received.emplace_back(t, parseLog(d));
      ack = received.back().second.last;
    }
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0].second.lines.size(), 10u);
  EXPECT_EQ(received[1].second.lines.size(), 10u);
  EXPECT_EQ(received[2].second.lines.size(), 5u);
  EXPECT_EQ(received[1].first - received[0].first, 15);
  EXPECT_EQ(received[2].first - received[1].first, 15);
  EXPECT_EQ(received[0].second.lines[0], "\x0a" "event 0");
  EXPECT_EQ(received[2].second.lines[4], "\x0a" "event 24");
  EXPECT_EQ(ack, SV_LOGI);
}

TEST_F(Sessions, WithoutAcknowledgementTheSameTenLinesComeEvery15TicksUntil96AreOutstanding) {
  UdpPeer peer;
  connect(peer, "Deaf");
  uint16_t old_ack = SV_CLIENTSLIST[1].log_ack;
  addLines(20);
  std::vector<Bytes> batches;
  for (int t = 0; t < 46; ++t)
    for (auto& d : tickWith(peer, old_ack)) batches.push_back(d);
  ASSERT_GE(batches.size(), 3u);
  EXPECT_EQ(batches[1], batches[2]);
  EXPECT_EQ(parseLog(batches[2]).lines.size(), 10u);
  EXPECT_EQ(parseLog(batches[2]).last, old_ack + 10);
  // 95 outstanding lines are still served; at 96 the client is dropped.
  addLines(95 - (SV_LOGI - old_ack));
  for (int t = 0; t < 15; ++t) tickWith(peer, old_ack);
  EXPECT_EQ(SV_CLIENTSLIST[1].in_use, 1);
  addLines(1);
  for (int t = 0; t < 15; ++t) tickWith(peer, old_ack);
  EXPECT_EQ(SV_CLIENTSLIST[1].in_use, 0);
  EXPECT_EQ(SV_LOG[0], line({EV_DISCONNECT, 1}));
  peer.drain();
  peer.send(inputMessage(0, 0, 0, 0, 0, 0));
  GAMECYCLE();
  EXPECT_EQ(peer.drain(), std::vector<Bytes>{Bytes(1, 'o')});
}

TEST_F(Sessions, SilentClientTimesOutAfter255ActiveTicksWithTwoLines) {
  UdpPeer quiet, talker;
  connect(quiet, "Quiet");
  connect(talker, "Talk");
  // A datagram with an unknown code still counts as a sign of life.
  for (int t = 0; t < 300; ++t) {
    talker.send(Bytes(1, 'z'));
    if (t == 100) quiet.send(Bytes(1, 'z'));
    GAMECYCLE();
    if (t > 100) {
      ASSERT_EQ(SV_CLIENTSLIST[1].in_use, 1) << t;
    }
  }
  ticks(55);
  EXPECT_EQ(SV_CLIENTSLIST[1].in_use, 0);
  EXPECT_EQ(SV_CLIENTSLIST[2].in_use, 1);
  EXPECT_NE(consoleText().find("Quiet time out!\nQuiet disconnected!\n"), std::string::npos);
  expectCountersMatchSlots();
}

TEST_F(Sessions, TimeOutComesExactlyOnThe255thTick) {
  UdpPeer peer;
  connect(peer, "T");  // the connect tick counts as the first
  ticks(253);
  EXPECT_EQ(SV_CLIENTSLIST[1].in_use, 1);
  ticks(1);
  EXPECT_EQ(SV_CLIENTSLIST[1].in_use, 0);
  EXPECT_EQ(SV_LOG[1], line({EV_TIMEOUT, 1}));
  EXPECT_EQ(SV_LOG[0], line({EV_DISCONNECT, 1}));
  // The last human is gone: ticks are idle again.
  uint16_t tick = SV_PINGVAR;
  ticks(5);
  EXPECT_EQ(SV_PINGVAR, tick);
}

TEST_F(Sessions, PingIsTheTickDistanceAndKeepsItsValueAcrossTheWrap) {
  UdpPeer peer;
  connect(peer, "P");
  SV_PINGVAR = 1000;
  peer.send(inputMessage(995, 0, 0, 0, 0, 0));
  GAMECYCLE();
  EXPECT_EQ(SV_CLIENTSLIST[1].ping, 6);
  SV_PINGVAR = 2;
  peer.send(inputMessage(65534, 0, 0, 0, 0, 0));
  GAMECYCLE();
  EXPECT_EQ(SV_CLIENTSLIST[1].ping, 6);
}

TEST_F(Sessions, LinesKeepFlowingAcrossTheWrapOfTheLineCounter) {
  SV_LOGI = 65530;
  UdpPeer peer;
  connect(peer, "Days");
  EXPECT_EQ(SV_LOGI, 65531);
  uint16_t ack = parseLog(peer.drainCode(MSG_LOG).at(0)).last;
  EXPECT_EQ(ack, 65531);
  addLines(12);  // lines 65532..65535, then 0..7
  EXPECT_EQ(SV_LOGI, 7);
  std::vector<std::string> got;
  for (int t = 0; t < 40; ++t)
    for (auto& d : tickWith(peer, ack)) {
      LogBatch b = parseLog(d);
      got.insert(got.end(), b.lines.begin(), b.lines.end());
      ack = b.last;
    }
  ASSERT_EQ(got.size(), 12u);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(got[i], "\x0a" "event " + std::to_string(i));
  EXPECT_EQ(SV_CLIENTSLIST[1].log_ack, 7);
  EXPECT_EQ(SV_CLIENTSLIST[1].in_use, 1);
  // An acknowledgement from before the wrap is older, so it is ignored.
  peer.send(inputMessage(0, 0, 0, 0, 0, 65533));
  GAMECYCLE();
  EXPECT_EQ(SV_CLIENTSLIST[1].log_ack, 7);
}

}  // namespace
}  // namespace spine
