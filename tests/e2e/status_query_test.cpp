// The status query against the real server on loopback: what it answers, to
// which queries, how often, and that asking changes nothing in the game. The
// end-of-match countdown it tells is checked by the drain in
// server_service_test.cpp, which plays a match out anyway.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "protocol/status_query.h"
#include "support/process.h"
#include "support/scripted_client.h"
#include "support/status_ask.h"
#include "support/udp_peer.h"

namespace {


std::string Text(const ShortStr& s) { return std::string(s.ch, s.len); }

class StatusQuery : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ServerBuilt()) GTEST_SKIP() << "the server is not built";
  }
  uint16_t Start(std::vector<std::string> args) {
    args.insert(args.end(), {"-port", "0"});
    const uint16_t port = StartServer(server_, args, dir_.path());
    EXPECT_NE(port, 0);
    return port;
  }
  std::string ServerOutput() { return ReadFile(dir_ / "server.out"); }
  TempDir dir_;
  ChildProcess server_;
};

// Nothing shorter than the whole query is answered, however well it starts,
// and nothing with another magic word or format. An idle server tells its
// settings.
TEST_F(StatusQuery, OnlyWholeQueriesAreAnsweredWithTheSettings) {
  const uint16_t port = Start({"-name", "Quiz Hall", "-score", "7", "-maxplayers", "12", "-teams", "1"});
  UdpPeer peer;
  SendQuery(peer, port, 1, STATUS_HEADER_SIZE);
  SendQuery(peer, port, 2, STATUS_QUERY_SIZE - 1);
  uint8_t wrong[STATUS_QUERY_SIZE];
  WriteStatusQuery(3, wrong);
  wrong[2] = 'Y';
  peer.sendTo(LoopbackAddress(port), wrong, sizeof wrong);
  WriteStatusQuery(4, wrong);
  wrong[5] = STATUS_FORMAT + 1;
  peer.sendTo(LoopbackAddress(port), wrong, sizeof wrong);
  // The server reads in order: the first answer is to the last, whole query.
  size_t largest = 0;
  SendQuery(peer, port, 0xA1B2C3D4u, STATUS_QUERY_SIZE);
  SendQuery(peer, port, 6, STATUS_QUERY_SIZE + 300);
  auto got = Answers(peer, 3000, 2, &largest);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].token, 0xA1B2C3D4u);
  EXPECT_EQ(got[1].token, 6u);
  EXPECT_LT(largest, STATUS_QUERY_SIZE);
  const ServerStatus& s = got[0];
  EXPECT_EQ(Text(s.name), "Quiz Hall");
  EXPECT_FALSE(Text(s.map).empty());
  EXPECT_EQ(s.team_play, 1);
  EXPECT_EQ(s.score_limit, 7);
  EXPECT_EQ(s.players, 0);
  EXPECT_EQ(s.max_players, 12);
  EXPECT_EQ(s.countdown_seconds, 0);
  EXPECT_EQ(Text(s.version), GAME_VERSION);
  EXPECT_EQ(s.protocol, PROTOCOL_VERSION);
  EXPECT_EQ(s.entry_count, 0);
}

// Two players and 22 bots fill every place: every slot is listed, and the
// answer, with the longest names, stays below the query's size.
TEST_F(StatusQuery, TheLargestAnswerListsEverySlotAndIsSmallerThanTheQuery) {
  const std::string long_name(200, 'N');
  const uint16_t port = Start({"-maxplayers", "24", "-bots", "22", "-name", long_name});
  ScriptedClient ann("Ann", 0, port, ScriptedClient::kStand);
  ScriptedClient watcher("WatcherWithAVeryLongNameIndeed", 0, port, ScriptedClient::kSpectate);
  UdpPeer peer;
  uint32_t token = 100;
  std::unique_ptr<ServerStatus> s;
  ASSERT_TRUE(PlayUntil(20000, {&ann, &watcher}, [&] {
    if (!ann.connected() || !watcher.connected()) return false;
    s = Ask(peer, port, ++token, 200);
    return s && s->players == 24;
  }));
  EXPECT_EQ(s->max_players, 24);
  ASSERT_EQ(s->entry_count, 24);
  int bots = 0;
  std::vector<std::string> humans;
  for (int i = 0; i < s->entry_count; ++i) {
    const StatusPlayer& p = s->entries[i];
    if (p.bot) ++bots;
    else humans.push_back(Text(p.name));
    EXPECT_LT(p.team, NUM_TEAMS);
    EXPECT_LT(p.ping_ms, 2000);
  }
  EXPECT_EQ(bots, 22);
  std::sort(humans.begin(), humans.end());
  ASSERT_EQ(humans.size(), 2u);
  EXPECT_EQ(humans[0], "Ann");
  EXPECT_EQ(humans[1].rfind("WatcherWith", 0), 0u) << humans[1];
  uint8_t bytes[STATUS_ANSWER_LIMIT];
  EXPECT_LE(WriteStatusAnswer(*s, bytes), STATUS_ANSWER_LIMIT);
  EXPECT_EQ(Text(s->name), long_name.substr(0, STATUS_NAME_LIMIT));
  EXPECT_LT(STATUS_ANSWER_LIMIT * 3, STATUS_QUERY_SIZE * 2);
}

// One address gets five answers a second; another address is still
// answered while the first is refused.
TEST_F(StatusQuery, AnswersAreRateLimited) {
  const uint16_t port = Start({});
  UdpPeer greedy;
  const long long start = NowMs();
  for (uint32_t t = 0; t < 20; ++t) SendQuery(greedy, port, t);
  const long long burst_ms = NowMs() - start;
  UdpPeer other("127.0.0.2");
  EXPECT_TRUE(Ask(other, port, 999));
  const size_t answered = Answers(greedy, 1500, 20).size();
  std::printf("20 queries from one address in %lld ms: %zu answers\n", burst_ms, answered);
  EXPECT_GE(answered, 5u);
  // A burst that spans the start of a new second may be answered twice.
  EXPECT_LE(answered, burst_ms < 900 ? 10u : 20u);
}

// A crowd of other addresses asking as fast as each may does not keep a
// genuine query from being answered: each address has its share first, and
// all together may have 2,000 a second.
TEST_F(StatusQuery, ACrowdOfOtherAddressesDoesNotCrowdOutAGenuineQuery) {
  const uint16_t port = Start({});
  std::vector<std::unique_ptr<UdpPeer>> crowd;
  for (int i = 0; i < 60; ++i) crowd.push_back(std::make_unique<UdpPeer>(("127.0.1." + std::to_string(i + 1)).c_str()));
  for (auto& p : crowd)
    for (uint32_t t = 0; t < 8; ++t) SendQuery(*p, port, t);
  UdpPeer genuine("127.0.0.3");
  EXPECT_TRUE(Ask(genuine, port, 4242));
  size_t total = 0;
  auto collect = [&] {
    for (auto& p : crowd) total += Answers(*p, 0, 8).size();
    return total >= 300;
  };
  EXPECT_TRUE(WaitFor(collect, 5000));
  // Room for answers beyond each address's five to arrive, were there any.
  for (auto& p : crowd) total += Answers(*p, 5, 8).size();
  std::printf("480 queries from 60 addresses: %zu answers\n", total);
  EXPECT_LE(total, 600u);  // five a second each; a burst may span two seconds
}

// Asking takes no slot, writes nothing on the console and puts no line into
// the message log: a player connecting afterwards gets the slot and the log
// line it would have had anyway.
TEST_F(StatusQuery, AskingLeavesTheGameAlone) {
  const uint16_t port = Start({});
  ScriptedClient first("First", 0, port, ScriptedClient::kStand);
  ASSERT_TRUE(PlayUntil(10000, {&first}, [&] { return first.connected() && !first.log().empty(); }));
  const std::string console_before = ServerOutput();
  const size_t log_before = first.log().size();
  UdpPeer peer;
  for (uint32_t t = 0; t < 5; ++t) ASSERT_TRUE(Ask(peer, port, t));
  ScriptedClient second("Second", 1, port, ScriptedClient::kStand);
  ASSERT_TRUE(PlayUntil(10000, {&first, &second}, [&] { return second.connected(); }));
  EXPECT_EQ(second.slot(), 2);
  // The first connect line after the queries is the second player's.
  std::string connect;
  ASSERT_TRUE(PlayUntil(5000, {&first, &second}, [&] {
    for (size_t i = log_before; i < first.log().size() && connect.empty(); ++i)
      if (!first.log()[i].text.empty() && first.log()[i].text[0] == EV_CONNECT) connect = first.log()[i].text;
    return !connect.empty();
  }));
  ASSERT_GE(connect.size(), 3u);
  EXPECT_EQ(connect[0], EV_CONNECT);
  EXPECT_EQ(connect[1], 2);
  EXPECT_EQ(connect.substr(3), "Second");
  ASSERT_TRUE(WaitFor([&] { return ServerOutput().find("Second connected!", console_before.size()) != std::string::npos; }, 5000));
  const std::string console_after = ServerOutput();
  ASSERT_EQ(console_after.compare(0, console_before.size(), console_before), 0);
  // The first connect on the console after the queries is the second player's.
  const std::string added = console_after.substr(console_before.size());
  EXPECT_EQ(added.find(" connected!"), added.find("Second connected!") + 6) << added;
}

}  // namespace
