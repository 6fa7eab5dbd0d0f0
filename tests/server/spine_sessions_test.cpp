// Client sessions and the message-log stream through real UDP: first lines,
// catch-up in batches, resends, removal when too far behind, time-outs, and
// the wrap of the 16-bit line counter.
#include "server_test.h"

namespace {

class Sessions : public RunningServer {
 protected:
  void addLines(int n) {
    for (int i = 0; i < n; ++i) AddLine(Line({EV_SERVERINFO}, "event " + std::to_string(i)));
  }
  // One tick in which the peer keeps alive, acknowledging `ack`; the log batches it got.
  std::vector<std::string> tickWith(const Peer& peer, uint16_t ack) {
    peer.send(InputMessage(Echo(slotOf(peer), SV_PINGVAR), 0, 0, 0, 0, ack));
    GAMECYCLE();
    return peer.drain(MSG_LOG);
  }
};

TEST_F(Sessions, FirstLinesThenACatchUpOf25In10And10And5FifteenTicksApartAcrossTheWrap) {
  SV_LOGI = 65530;  // the 25 lines cross the wrap of the line counter
  Peer peer;
  connect(peer, "Late");
  // The first client gets the second banner line and its own connect.
  const LogBatch first = ParseLog(peer.drain(MSG_LOG).at(0));
  EXPECT_EQ(first.last, 65531);
  EXPECT_EQ(first.lines, (std::vector<std::string>{"\x0aPlayerlimit: 10, scorelimit: 20, teamplay: no",
                                                   Line({EV_CONNECT, 1, 0}, "Late")}));
  uint16_t ack = first.last;
  addLines(25);  // lines 65532..65535, then 0..20
  std::vector<std::pair<int, LogBatch>> received;
  std::vector<std::string> lines;
  for (int t = 1; t <= 60; ++t)
    for (auto& d : tickWith(peer, ack)) {
      received.emplace_back(t, ParseLog(d));
      ack = received.back().second.last;
      lines.insert(lines.end(), received.back().second.lines.begin(), received.back().second.lines.end());
    }
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0].second.lines.size(), 10u);
  EXPECT_EQ(received[1].second.lines.size(), 10u);
  EXPECT_EQ(received[1].first - received[0].first, 15);
  EXPECT_EQ(received[2].first - received[1].first, 15);
  ASSERT_EQ(lines.size(), 25u);
  for (int i = 0; i < 25; ++i) EXPECT_EQ(lines[i], "\x0a" "event " + std::to_string(i));
  EXPECT_EQ(ack, SV_LOGI);
  EXPECT_EQ(SV_CLIENTSLIST[1].log_ack, SV_LOGI);
  // An acknowledgement from before the wrap is older, so it is ignored.
  tickWith(peer, 65533);
  EXPECT_EQ(SV_CLIENTSLIST[1].log_ack, SV_LOGI);
}

TEST_F(Sessions, WithBotsTheFirstClientStillHearsTheBannerAndItsOwnConnectFirst) {
  SV_BOTCOUNT = 2;
  Peer peer;
  peer.send(ConnectMessage("First", 0));
  for (int t = 0; t < 4; ++t) GAMECYCLE();  // the first input is late: bots wait for a player in the game
  enter(peer);
  GAMECYCLE();
  std::vector<std::string> lines;
  uint16_t ack = 0;
  for (int t = 0; t < 60 && lines.size() < 4; ++t) {
    for (const std::string& d : tickWith(peer, ack)) {
      const LogBatch batch = ParseLog(d);
      lines.insert(lines.end(), batch.lines.begin(), batch.lines.end());
      ack = batch.last;
    }
  }
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "\x0aPlayerlimit: 10, scorelimit: 20, teamplay: no");
  EXPECT_EQ(lines[1], Line({EV_CONNECT, 1, 0}, "First"));
  EXPECT_EQ(lines[2], Line({EV_CONNECT, 2, 0}, "BOT #1"));  // then the bots, each with its connect
}

TEST_F(Sessions, WithoutAcknowledgementTheSameTenLinesComeEvery15TicksUntil96AreOutstanding) {
  Peer peer;
  connect(peer, "Deaf");
  const uint16_t old_ack = SV_CLIENTSLIST[1].log_ack;
  addLines(20);
  std::vector<std::string> batches;
  for (int t = 0; t < 46; ++t)
    for (auto& d : tickWith(peer, old_ack)) batches.push_back(d);
  ASSERT_GE(batches.size(), 3u);
  EXPECT_EQ(batches[1], batches[2]);
  EXPECT_EQ(ParseLog(batches[2]).lines.size(), 10u);
  EXPECT_EQ(ParseLog(batches[2]).last, old_ack + 10);
  // 95 outstanding lines are still served; at 96 the client is dropped.
  addLines(95 - (SV_LOGI - old_ack));
  for (int t = 0; t < 15; ++t) tickWith(peer, old_ack);
  EXPECT_EQ(SV_CLIENTSLIST[1].in_use, 1);
  addLines(1);
  for (int t = 0; t < 15; ++t) tickWith(peer, old_ack);
  EXPECT_EQ(SV_CLIENTSLIST[1].in_use, 0);
  EXPECT_EQ(LogLine(), Line({EV_DISCONNECT, 1}));
  peer.drain();
  peer.send(InputMessage(0, 0, 0, 0, 0, 0));
  GAMECYCLE();
  EXPECT_EQ(peer.drain(), std::vector<std::string>{"o"});
}

TEST_F(Sessions, SilentClientTimesOutOnThe255thTickWithTwoLines) {
  Peer peer;
  connect(peer, "Quiet");  // the connect tick counts as the first
  ticks(100);
  peer.send(InputMessage(Echo(slotOf(peer), SV_PINGVAR), 0, ACT_NONE, 0, 0, 0));  // only an input is a sign of life
  ticks(100);
  for (const std::string& other : {std::string("z"), ChatMessage("still here"), ConnectMessage("Quiet")})
    peer.send(other);
  ticks(154);
  EXPECT_EQ(SV_CLIENTSLIST[1].in_use, 1);
  ticks(1);
  EXPECT_EQ(SV_CLIENTSLIST[1].in_use, 0);
  EXPECT_EQ(LogLine(1), Line({EV_TIMEOUT, 1}));
  EXPECT_EQ(LogLine(0), Line({EV_DISCONNECT, 1}));
  EXPECT_NE(consoleText().find("Quiet time out!\nQuiet disconnected!\n"), std::string::npos);
  // The last human is gone: ticks are idle again.
  const uint16_t tick = SV_PINGVAR;
  ticks(5);
  EXPECT_EQ(SV_PINGVAR, tick);
  ExpectInvariants();
}

TEST_F(Sessions, PingIsTheTickDistanceAndKeepsItsValueAcrossTheWrap) {
  Peer peer;
  connect(peer, "P");
  SV_PINGVAR = 1000;
  peer.send(InputMessage(Echo(1, 995), 0, 0, 0, 0, 0));
  GAMECYCLE();
  EXPECT_EQ(SV_CLIENTSLIST[1].ping, 6);
  SV_PINGVAR = 2;
  peer.send(InputMessage(Echo(1, 65534), 0, 0, 0, 0, 0));
  GAMECYCLE();
  EXPECT_EQ(SV_CLIENTSLIST[1].ping, 6);
}

}  // namespace
