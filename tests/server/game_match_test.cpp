// Whole matches on the real server: the real start-up with map files in a
// temporary directory, a scripted client on loopback, bots, and ticks run by
// GAMECYCLE until the score limit, the countdown and the next map. Every
// tick must keep the world whole.
#include <memory>

#include "game_maps.h"
#include "server_test.h"
#include "support/alloc_counter.h"
#include "support/scripted_client.h"

namespace {

using game_test::BusyArena;
using game_test::MapFile;

class MatchTest : public ServerTest {
 protected:
  // A fresh server started on these maps and arguments, with one scripted human.
  void Start(const std::vector<std::vector<std::string>>& maps, const std::vector<std::string>& args,
             ScriptedClient::Script script = ScriptedClient::kFight) {
    ResetServer();
    lines_.clear();
    seen_lines_ = 0;
    std::vector<std::string> all;
    for (size_t m = 0; m < maps.size(); ++m) {
      WriteMap("m" + std::to_string(m), MapFile(maps[m]));
      all.insert(all.end(), {"-map", "m" + std::to_string(m)});
    }
    all.insert(all.end(), args.begin(), args.end());
    startServer(all);
    human_ = std::make_unique<ScriptedClient>("Ann", 1, NET_PORT, script);
  }

  // One tick: the human acts (if there is one yet), the server ticks, the
  // new log lines are kept, and the world must be whole.
  void Tick(bool with_human = true) {
    if (with_human) human_->frame();
    GAMECYCLE();
    const int fresh = static_cast<uint16_t>(SV_LOGI - seen_lines_);
    ASSERT_LT(fresh, LOG_LINES);
    for (int k = fresh - 1; k >= 0; --k) lines_.push_back(LogLine(k));
    seen_lines_ = SV_LOGI;
    ASSERT_EQ(WorldFault(), "") << "tick " << SV_PINGVAR;
  }

  // Ticks until the map changes after a won match; whether it did in time.
  bool RunUntilNextMap(int max_ticks) {
    for (int t = 0; t < max_ticks; ++t) {
      occupied_before_change_ = SV_CURCLIENTS;
      const uint16_t countdown = SV_SCOREBOARD;
      Tick();
      if (HasFatalFailure()) return false;
      if (countdown == 1) return true;
    }
    return false;
  }

  int CountLines(uint8_t code) const {
    int n = 0;
    for (const std::string& l : lines_) n += !l.empty() && static_cast<uint8_t>(l[0]) == code;
    return n;
  }

  TempDir dir_{true};
  std::unique_ptr<ScriptedClient> human_;
  uint16_t seen_lines_ = 0;
  std::vector<std::string> lines_;  // every line the server logged, in order
  uint8_t occupied_before_change_ = 0;
};

TEST_F(MatchTest, MatchEndsAfterTheCountdownEveryoneIsRemovedAndTheNextMapStarts) {
  const struct {
    const char* what;
    ScriptedClient::Script script;
    int maps;
    std::vector<std::string> args;
    uint8_t win;
  } cases[] = {
      {"free for all, joined human", ScriptedClient::kFight, 2, {"-bots", "7", "-score", "5"}, EV_WIN},
      {"free for all, spectating human", ScriptedClient::kSpectate, 2, {"-bots", "7", "-score", "5"}, EV_WIN},
      {"team play, one map", ScriptedClient::kFight, 1, {"-bots", "7", "-score", "9", "-teams", "1"}, EV_TEAMWIN},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"-maxplayers", "24"});
    Start(std::vector<std::vector<std::string>>(c.maps, BusyArena(24)), args, c.script);
    ASSERT_TRUE(RunUntilNextMap(40000));
    EXPECT_EQ(CountLines(c.win), 1);
    EXPECT_EQ(CountLines(EV_WIN) + CountLines(EV_TEAMWIN), 1);
    EXPECT_GE(CountLines(EV_KILL), 5);
    // The client saw the whole countdown and was told of the win.
    std::vector<uint16_t> countdown, expected;
    for (uint16_t v : human_->countdowns())
      if (v != 0 || !countdown.empty()) countdown.push_back(v);
    for (uint16_t v = 494; v >= 1; --v) expected.push_back(v);
    EXPECT_EQ(countdown, expected);
    bool told = false;
    for (const LoggedLine& l : human_->log()) told |= static_cast<uint8_t>(l.text[0]) == c.win;
    EXPECT_TRUE(told);
    // Everybody was removed, each with a disconnect line, and the next map is current.
    EXPECT_EQ(SV_CURCLIENTS, 0);
    EXPECT_EQ(occupied_before_change_, 8);
    for (int k = 0; k < occupied_before_change_; ++k)
      EXPECT_EQ(static_cast<uint8_t>(lines_[lines_.size() - 1 - k][0]), EV_DISCONNECT);
    EXPECT_EQ(SV_MAP.map_index, c.maps == 2 ? 2 : 1);
    // The client finds itself unknown, connects again, and the bots come back one per tick.
    for (int t = 0; t < 40 && SV_CURCLIENTS == 0; ++t) Tick();
    ASSERT_EQ(SV_CURCLIENTS - SV_BOTC, 1);
    EXPECT_EQ(human_->timesNotConnected(), 1);
    for (int bots = SV_BOTC; bots < 7; ++bots) {
      EXPECT_EQ(SV_BOTC, bots);
      Tick();
    }
    EXPECT_EQ(SV_BOTC, 7);
  }
}

TEST_F(MatchTest, TwentyFourBotsWaitForAHumanThenFillTheFreeSlotsWithTwoPlaying) {
  Start({BusyArena(24)}, {"-bots", "24", "-maxplayers", "2"});
  for (int t = 0; t < 50; ++t) Tick(false);
  EXPECT_EQ(SV_PINGVAR, 0);
  EXPECT_EQ(SV_BOTC, 0);
  for (int t = 0; t < 600; ++t) ASSERT_NO_FATAL_FAILURE(Tick());
  EXPECT_EQ(SV_CURCLIENTS, 24);
  EXPECT_EQ(SV_BOTC, 23);  // the human has the 24th slot
  EXPECT_EQ(SV_CURPLAYERS, 2);
}

// Each setup runs whole, and twice gives the same message log.
TEST_F(MatchTest, DegenerateMapsAndLimitsRunWholeAndSameInputsGiveTheSameLog) {
  const struct {
    const char* what;
    std::vector<std::string> map;
    std::vector<std::string> args;
  } setups[] = {
      {"no spawn points", {"", "", "   5  A  1", "  e"}, {"-bots", "6"}},
      {"no items", {"@   @", "", "  A", "@   @"}, {"-bots", "8", "-score", "1"}},
      {"score limit 1", BusyArena(16), {"-bots", "10", "-score", "1", "-maxplayers", "24"}},
      {"score limit 255", BusyArena(16), {"-bots", "10", "-score", "255", "-maxplayers", "24"}},
      {"team play, limit 1", BusyArena(16), {"-bots", "5", "-score", "1", "-teams", "3"}},
      {"busy arena", BusyArena(24), {"-bots", "9", "-score", "6", "-maxplayers", "24"}},
  };
  for (const auto& s : setups) {
    SCOPED_TRACE(s.what);
    std::vector<std::string> first;
    for (int run = 0; run < 2; ++run) {
      Start({s.map}, s.args);
      for (int t = 0; t < 2000; ++t) ASSERT_NO_FATAL_FAILURE(Tick());
      if (run == 0) first = lines_;
    }
    EXPECT_EQ(lines_, first);
  }
  EXPECT_GE(CountLines(EV_KILL), 5);  // the busy arena saw a fight
}

// Twenty-four bots fighting, with the operator's log kept: a whole match,
// its end and the next map's start without a single allocation.
TEST_F(MatchTest, FightingThroughAMapChangeWithTheOperatorsLogAllocatesNothing) {
  Start({BusyArena(32), BusyArena(16)}, {"-bots", "24", "-score", "5", "-maxplayers", "24", "-log", "ops.log"});
  for (int t = 0; t < 100; ++t) Tick();  // every bot created and joined
  ASSERT_EQ(SV_CURPLAYERS, 24);
  long allocations = 0;
  const uint8_t first_map = SV_MAP.map_index;
  for (int t = 0; t < 3000 && SV_MAP.map_index == first_map; ++t) {
    human_->frame();
    alloc_counter::allocations = 0;
    alloc_counter::counting = true;
    GAMECYCLE();
    alloc_counter::counting = false;
    allocations += alloc_counter::allocations;
  }
  EXPECT_EQ(allocations, 0);
  ASSERT_NE(SV_MAP.map_index, first_map) << "the match ended and the next map began";
  const std::string log = ReadFile("ops.log");
  EXPECT_NE(log.find(" > "), std::string::npos) << "kills";
  EXPECT_NE(log.find(" WINS!\n"), std::string::npos);
  EXPECT_NE(log.find("map end: m0; scores: "), std::string::npos);
  EXPECT_NE(log.find(", map change, frags "), std::string::npos);
  EXPECT_NE(log.find("map start: m1 (rotation entry 2)\n"), std::string::npos);
}

}  // namespace
