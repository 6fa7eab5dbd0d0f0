// The real server as an operator runs it: the -log file with a time stamp on
// every line, and the commands typed on its standard input, against a live
// server with players connected over loopback UDP.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <ctime>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/scripted_client.h"
#include "support/udp_peer.h"
#include "support/wire.h"

namespace {




bool AnyLineMatches(const std::string& text, const std::string& pattern) {
  const std::regex re(pattern);
  for (const std::string& line : SplitLines(text))
    if (std::regex_match(line, re)) return true;
  return false;
}

// Seconds since 1970 of "YYYY-MM-DDThh:mm:ss.mmmZ".
double StampSeconds(const std::string& stamp) {
  std::tm t{};
  strptime(stamp.c_str(), "%Y-%m-%dT%H:%M:%S", &t);
  return static_cast<double>(timegm(&t)) + std::stoi(stamp.substr(20, 3)) / 1000.0;
}

// Every line of the log starts with an ISO 8601 UTC time stamp taken between
// first and last (seconds since 1970), never going back; the texts after it.
std::vector<std::string> CheckedLogTexts(const std::string& log, double first, double last) {
  static const std::regex line_form("([0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}Z) (.+)");
  std::vector<std::string> texts;
  double previous = 0;
  for (const std::string& line : SplitLines(log)) {
    std::smatch m;
    if (!std::regex_match(line, m, line_form)) {
      ADD_FAILURE() << "no time stamp: " << line;
      continue;
    }
    const double at = StampSeconds(m[1]);
    EXPECT_GE(at, first - 1) << line;
    EXPECT_LE(at, last + 1) << line;
    EXPECT_GE(at, previous) << line;
    previous = at;
    texts.push_back(m[2]);
  }
  return texts;
}

double NowSeconds() { return static_cast<double>(std::time(nullptr)); }

// A raw player on its own socket: connects and sends its first input,
// echoing the snapshot's tick, so the server lets it in.
void Enter(UdpPeer& peer, uint16_t port, const std::string& name) {
  peer.sendTo(port, ConnectMessage(name));
  const std::string snapshot = peer.receive(5000);
  ASSERT_EQ(snapshot.substr(0, 1), std::string(1, static_cast<char>(MSG_SNAPSHOT)));
  peer.sendTo(port, InputMessage(SnapshotTick(snapshot), 0, ACT_NONE, 0, 0, 0));
}

constexpr char kMap[] = "000000\nAAAAAAAA\nA@  @  A\nA      A\nA@  @  A\nAAAAAAAA\n";

TEST(ServerOperator, LogFileKeepsEveryEventWithItsTimeStampAndAppends) {
  if (!ServerBuilt()) GTEST_SKIP();
  TempDir dir;
  const std::string log_path = dir / "ops.log";
  ASSERT_TRUE(WriteFile(log_path, std::string("2020-01-01T00:00:00.000Z an older run\n")));
  const double first = NowSeconds();
  ChildProcess server;
  ASSERT_TRUE(server.start(BinaryPath("vornaxdm_server"),
                           {"-port", "0", "-log", "ops.log", "-name", "Night\x1b[2J", "-score", "3",
                            "-ipconnects", "255", "-connects", "255"},
                           dir.path(), dir / "server.out"));
  const uint16_t port = ServerPort(server);
  ASSERT_NE(port, 0);
  UdpPeer eve, max;
  Enter(eve, port, "Eve");
  Enter(max, port, "Max");
  ASSERT_TRUE(WaitFor([&] { return Has(server.output(), "Max connected!"); }, 5000));
  eve.sendTo(port, ChatMessage("hello"));
  max.sendTo(port, Datagram().byte(MSG_DISCONNECT));
  ASSERT_TRUE(WaitFor([&] { return Has(server.output(), "Max disconnected!"); }, 5000));
  // Eve goes silent: 255 ticks later the server gives her slot up.
  ASSERT_TRUE(WaitFor([&] { return Has(server.output(), "Eve time out!"); }, 30000));
  const std::string console_before_stop = server.output();
  EXPECT_EQ(server.stop(), 0);
  const double last = NowSeconds();

  const std::string log = ReadFile(log_path);
  ASSERT_EQ(log.rfind("2020-01-01T00:00:00.000Z an older run\n", 0), 0u) << "appended, not replaced";
  std::vector<std::string> texts = CheckedLogTexts(log.substr(log.find('\n') + 1), first, last);
  const std::string from_eve = "from 127.0.0.1:" + std::to_string(eve.port());
  const std::string from_max = "from 127.0.0.1:" + std::to_string(max.port());
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "start: \"Night\\x1b[2J\", port " + std::to_string(port) +
                           ", maps DefMap; bots 0, playerlimit 10, scorelimit 3, teamplay no, ipslots 4, "
                           "ipconnects 255, connects 255, legacy 1",
                       "Night\\x1b[2J, v28",
                       "Playerlimit: 10, scorelimit: 3, teamplay: no",
                       "map start: DefMap (rotation entry 1)",
                       "\"Eve\" connected!",
                       "connect: slot 1 \"Eve\" " + from_eve,
                       "\"Max\" connected!",
                       "connect: slot 2 \"Max\" " + from_max,
                       "chat: slot 1 \"Eve\": hello",
                       "slot given up: slot 2 \"Max\" " + from_max + ", disconnect, frags 0",
                       "\"Max\" disconnected!",
                       "\"Eve\" time out!",
                       "slot given up: slot 1 \"Eve\" " + from_eve + ", time-out, frags 0",
                       "\"Eve\" disconnected!",
                       "map end: DefMap; scores: nobody",
                       "stop: signal",
                   }));
  // The console shows what it always showed, and nothing of the log's own lines.
  EXPECT_FALSE(Has(console_before_stop, "connect: slot"));
  EXPECT_FALSE(Has(console_before_stop, "map start"));
}

TEST(ServerOperator, AMapEndsWithTheScoresOfEveryPlayerAndTeam) {
  if (!ServerBuilt()) GTEST_SKIP();
  TempDir dir;
  ChildProcess server;
  server.input_pipe = true;
  ASSERT_TRUE(server.start(BinaryPath("vornaxdm_server"), {"-port", "0", "-log", "ops.log", "-teams", "1"},
                           dir.path(), dir / "server.out"));
  const uint16_t port = ServerPort(server);
  ASSERT_NE(port, 0);
  UdpPeer eve;
  Enter(eve, port, "Eve");
  ASSERT_TRUE(WaitFor([&] { return Has(server.output(), "Eve connected!"); }, 5000));
  server.input("next\n");
  ASSERT_TRUE(WaitFor([&] { return Has(server.output(), "map DefMap started"); }, 5000));
  EXPECT_TRUE(AnyLineMatches(ReadFile(dir / "ops.log"),
                             ".*Z map end: DefMap; scores: \"\\[..?\\]Eve\" 0 \\(spectating\\); teams: SS 0, Mutants 0, "
                             "Soldiers 0, Officers 0"))
      << ReadFile(dir / "ops.log");
  EXPECT_TRUE(AnyLineMatches(ReadFile(dir / "ops.log"), ".*Z map start: DefMap \\(rotation entry 1\\)"));
  EXPECT_EQ(server.stop(), 0);
}

TEST(ServerOperator, APlayerThatFallsBehindTheLogIsLoggedSo) {
  if (!ServerBuilt()) GTEST_SKIP();
  TempDir dir;
  ChildProcess server;
  ASSERT_TRUE(server.start(BinaryPath("vornaxdm_server"),
                           {"-port", "0", "-log", "ops.log", "-ipconnects", "255", "-connects", "255"},
                           dir.path(), dir / "server.out"));
  const uint16_t port = ServerPort(server);
  ASSERT_NE(port, 0);
  UdpPeer laggard;
  Enter(laggard, port, "Lag");
  // Visitors come and go, two lines each, while Lag never acknowledges a line.
  const long long end = NowMs() + 30000;
  for (int visit = 0; visit < 60 && !Has(ReadFile(dir / "ops.log"), "fell behind") && NowMs() < end; ++visit) {
    laggard.sendTo(port, InputMessage(0, 0, ACT_NONE, 0, 0, 0));
    UdpPeer visitor;
    Enter(visitor, port, "Visitor");
    visitor.sendTo(port, Datagram().byte(MSG_DISCONNECT));
    const std::string gone = "slot given up: slot 2 \"Visitor\" from 127.0.0.1:" + std::to_string(visitor.port());
    ASSERT_TRUE(WaitFor([&] { return Has(ReadFile(dir / "ops.log"), gone); }, 5000));
  }
  EXPECT_TRUE(WaitFor(
      [&] { return AnyLineMatches(ReadFile(dir / "ops.log"), ".*slot given up: slot 1 \"Lag\" from 127\\.0\\.0\\.1:" +
                                                                  std::to_string(laggard.port()) + ", fell behind.*"); },
      5000));
  EXPECT_EQ(server.stop(), 0);
}

// The answer to a status command given after console line `from`: its lines
// from the map line on (message-log lines may come before it).
std::vector<std::string> StatusAfter(ChildProcess& server, size_t from) {
  std::vector<std::string> out;
  const std::vector<std::string> all = SplitLines(server.output());
  for (size_t i = from; i < all.size(); ++i)
    if (!out.empty() || (all[i].rfind("map ", 0) == 0 && Has(all[i], " in rotation)"))) out.push_back(all[i]);
  return out;
}

TEST(ServerOperator, ConsoleCommandsSteerALiveServerWithPlayersOn) {
  if (!ServerBuilt()) GTEST_SKIP();
  TempDir dir;
  for (const char* name : {"alpha", "beta", "gamma"}) ASSERT_TRUE(WriteFile(dir / ("maps/" + std::string(name) + ".vnxm"), kMap));
  const double first = NowSeconds();
  ChildProcess server;
  server.input_pipe = true;
  ASSERT_TRUE(server.start(BinaryPath("vornaxdm_server"),
                           {"-port", "0", "-map", "alpha", "-map", "beta", "-log", "ops.log",
                            "-ipslots", "24", "-ipconnects", "255", "-connects", "255"},
                           dir.path(), dir / "server.out"));
  const uint16_t port = ServerPort(server);
  ASSERT_NE(port, 0);
  ScriptedClient ann("Ann", 0, port, ScriptedClient::kStand), bob("Bob", 1, port, ScriptedClient::kStand);
  const std::vector<ScriptedClient*> both{&ann, &bob};
  auto console = [&] { return server.output(); };
  auto play_until_console = [&](const std::string& text) {
    return PlayUntil(10000, both, [&] { return Has(console(), text); });
  };
  ASSERT_TRUE(PlayUntil(10000, both, [&] { return ann.connected() && bob.connected() && Has(console(), "Bob connected!"); }));

  // status: the map, the score to reach, one line per slot.
  size_t mark = SplitLines(console()).size();
  server.input("status\n");
  ASSERT_TRUE(PlayUntil(5000, both, [&] { return StatusAfter(server, mark).size() >= 5; }));
  std::vector<std::string> status = StatusAfter(server, mark);
  EXPECT_EQ(status[0], "map alpha (entry 1, 2 in rotation), score to reach 20");
  EXPECT_TRUE(std::regex_match(status[1], std::regex("2 of 24 slots in use, [0-2] playing \\(limit 10\\), 0 bots \\(0 wanted\\)")))
      << status[1];
  EXPECT_EQ(status[2], "slot name                 team     frags ping address               kind");
  const std::string slot_line = " *[0-9]+ %-20s - +0 +[0-9]+ 127\\.0\\.0\\.1:[0-9]+ +human(, spectating)?";
  char ann_line[128], bob_line[128];
  std::snprintf(ann_line, sizeof ann_line, slot_line.c_str(), "Ann");
  std::snprintf(bob_line, sizeof bob_line, slot_line.c_str(), "Bob");
  EXPECT_TRUE(std::regex_match(status[3], std::regex(ann_line))) << status[3];
  EXPECT_TRUE(std::regex_match(status[4], std::regex(bob_line))) << status[4];

  // bots N: bots come while a human plays, and go when fewer are wanted.
  server.input("bots 2\n");
  ASSERT_TRUE(play_until_console("bots: 2 wanted, 0 present"));
  ASSERT_TRUE(PlayUntil(10000, both, [&] {
    const std::string log = ReadFile(dir / "ops.log");
    return AnyLineMatches(log, ".*connect: slot 3 .* \\(bot\\)") && AnyLineMatches(log, ".*connect: slot 4 .* \\(bot\\)");
  }));
  mark = SplitLines(console()).size();
  server.input("status\n");
  ASSERT_TRUE(PlayUntil(5000, both, [&] { return StatusAfter(server, mark).size() >= 7; }));
  status = StatusAfter(server, mark);
  EXPECT_TRUE(std::regex_match(status[1], std::regex("4 of 24 slots in use, [0-4] playing \\(limit 10\\), 2 bots \\(2 wanted\\)")))
      << status[1];
  EXPECT_TRUE(std::regex_match(status[5], std::regex(" +3 .* - +[0-9]+ +[0-9]+ - +bot.*"))) << status[5];
  server.input("bots 1\n");
  ASSERT_TRUE(play_until_console("bots: 1 wanted, 1 present"));
  EXPECT_TRUE(AnyLineMatches(ReadFile(dir / "ops.log"), ".*slot given up: slot 4 .* \\(bot\\), bot no longer wanted, frags [0-9]+"));

  // kick SLOT 0: the slot is given up as a disconnect gives it up, and the
  // address is not kept out; Bob's client finds itself unknown and connects again.
  const uint8_t bob_slot = bob.slot();
  const int bob_refusals = bob.timesNotConnected();
  server.input("kick " + std::to_string(bob_slot) + " 0\n");
  ASSERT_TRUE(play_until_console("kicking slot " + std::to_string(bob_slot) + " (Bob)\nBob disconnected!\n"));
  EXPECT_TRUE(AnyLineMatches(ReadFile(dir / "ops.log"),
                             ".*slot given up: slot " + std::to_string(bob_slot) + " \"Bob\" from 127\\.0\\.0\\.1:[0-9]+, kicked, frags [0-9]+"));
  auto ann_saw_it = [&] {
    for (const LoggedLine& l : ann.log())
      if (l.text == std::string{static_cast<char>(EV_DISCONNECT), static_cast<char>(bob_slot)}) return true;
    return false;
  };
  EXPECT_TRUE(PlayUntil(10000, both, [&] { return bob.timesNotConnected() > bob_refusals && bob.connected() && ann_saw_it(); }));

  // map NAME: a map outside the rotation joins it and is played at once.
  const int ann_before = ann.timesNotConnected(), bob_before = bob.timesNotConnected();
  server.input("map gamma\n");
  ASSERT_TRUE(play_until_console("map gamma added to the rotation as entry 3\nchanging map to gamma\n"));
  {
    const std::string log = ReadFile(dir / "ops.log");
    EXPECT_TRUE(AnyLineMatches(log, ".*map end: alpha; scores: .*\"Ann\" [0-9]+.*"));
    EXPECT_TRUE(AnyLineMatches(log, ".*slot given up: slot [0-9]+ \"Ann\" from 127\\.0\\.0\\.1:[0-9]+, map change, frags [0-9]+"));
    EXPECT_TRUE(AnyLineMatches(log, ".*map start: gamma \\(rotation entry 3\\)"));
  }
  ASSERT_TRUE(PlayUntil(10000, both, [&] {
    return ann.timesNotConnected() > ann_before && bob.timesNotConnected() > bob_before && ann.connected() &&
           bob.connected();
  }));
  mark = SplitLines(console()).size();
  server.input("status\n");
  ASSERT_TRUE(PlayUntil(5000, both, [&] { return !StatusAfter(server, mark).empty(); }));
  EXPECT_EQ(StatusAfter(server, mark)[0], "map gamma (entry 3, 3 in rotation), score to reach 20");
  // next: after the last entry comes the first.
  server.input("next\n");
  ASSERT_TRUE(play_until_console("map alpha started\n"));
  server.input("map beta\n");
  ASSERT_TRUE(play_until_console("changing map to beta\n"));

  // Mistakes get an answer and change nothing.
  server.input("map nowhere\nkick 99\nkick 20\nbots lots\nfrobnicate now\n");
  ASSERT_TRUE(play_until_console("frobnicate"));
  const std::string text = console();
  EXPECT_TRUE(Has(text, "map nowhere not changed to: not in the rotation, and maps/nowhere.vnxm not found\n"));
  EXPECT_TRUE(Has(text, "usage: kick SLOT [MINUTES] (a slot number 1..24, see status; kept out 1 minute unless told)\n"));
  EXPECT_TRUE(Has(text, "slot 20 is free\n"));
  EXPECT_TRUE(Has(text, "usage: bots N (0..24)\n"));
  EXPECT_TRUE(Has(text, "unknown command \"frobnicate\"; commands: status, kick SLOT [MINUTES], map NAME, next, bots N, quit, say TEXT, "
                             "ban ADDRESS [MINUTES], unban ADDRESS, bans, drain, help\n"));
  EXPECT_TRUE(server.running());

  // quit: a clean end, the map's end and the stop in the log.
  server.input("quit\n");
  EXPECT_EQ(server.wait(5000), 0);
  const std::vector<std::string> texts = CheckedLogTexts(ReadFile(dir / "ops.log"), first, NowSeconds());
  ASSERT_GE(texts.size(), 2u);
  EXPECT_TRUE(std::regex_match(texts[texts.size() - 2], std::regex("map end: beta; scores: .*"))) << texts[texts.size() - 2];
  EXPECT_EQ(texts.back(), "stop: quit command");
}

TEST(ServerOperator, TheEndOfItsInputNeitherStopsTheServerNorKeepsItBusy) {
  if (!ServerBuilt()) GTEST_SKIP();
  ChildProcess server;
  server.input_pipe = true;
  ASSERT_TRUE(server.start(BinaryPath("vornaxdm_server"), {"-port", "0"}));
  const uint16_t port = ServerPort(server);
  ASSERT_NE(port, 0);
  ASSERT_EQ(server.lines(3).size(), 3u);
  server.input("status");  // the last line, without its line end
  server.closeInput();
  ASSERT_TRUE(WaitFor([&] { return Has(server.output(), "map DefMap (entry 1, 1 in rotation)"); }, 5000));
  // At the end of its input the server does not spin: over a second of play
  // (33 snapshots) it uses a small part of a processor.
  auto cpu_ticks = [&] {
    const std::string stat = ReadFile("/proc/" + std::to_string(server.pid()) + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long total = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
      if (i == 14 || i == 15) total += std::stol(field);
    return total;
  };
  const long before = cpu_ticks();
  const long long start = NowMs();
  ScriptedClient late("Late", 0, port, ScriptedClient::kStand);
  ASSERT_TRUE(PlayUntil(20000, {&late}, [&] { return late.snapshots() >= 33; }));
  const long used_ms = (cpu_ticks() - before) * 1000 / sysconf(_SC_CLK_TCK);
  EXPECT_LT(used_ms, (NowMs() - start) / 2) << "processor time while " << NowMs() - start << " ms passed";
  EXPECT_TRUE(Has(server.output(), "Late connected!"));
  EXPECT_EQ(server.stop(), 0);
}

}  // namespace
