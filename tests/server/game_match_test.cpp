// Many bots fighting for many ticks: the rules must keep their invariants
// in every configuration, including the degenerate ones.
#include "game_fixture.h"
#include "game_maps.h"

namespace game_test {
namespace {

using ArenaTest = GameTest;

struct ArenaResult {
  int kills = 0;
  int wins = 0;
  int joins = 0;
};

// Runs ticks with one human spectator in slot 1 and counts the events.
ArenaResult RunArena(int ticks) {
  AddSpectator(1);
  ArenaResult r;
  for (int t = 0; t < ticks; ++t) {
    const uint16_t before = SV_LOGI;
    SimTick();
    for (int k = 0; k < SV_LOGI - before && k < LOG_LINES; ++k) {
      const uint8_t code = SV_LOG[k][0];
      r.kills += code == EV_KILL;
      r.wins += code == EV_WIN || code == EV_TEAMWIN;
      r.joins += code == EV_JOIN;
    }
    ExpectInvariants();
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "at tick " << t;
      break;
    }
    if (r.wins > 0 && SV_SCOREBOARD == 0) break;  // the match is over
  }
  return r;
}

TEST_F(ArenaTest, TwentyThreeBotsFightAndEndTheMatch) {
  UseMap(BusyArena());
  SV_BOTCOUNT = 24;  // one slot is the human's: 23 fit
  SV_MAXPLAYERS = 24;
  SV_SCORELIMIT = 10;
  const ArenaResult r = RunArena(3000);
  EXPECT_EQ(SV_BOTC, 23);
  EXPECT_EQ(r.joins, 23);
  EXPECT_GE(r.kills, 10);
  EXPECT_EQ(r.wins, 1);
}

TEST_F(ArenaTest, TeamPlayArenaEndsWithATeamWin) {
  UseMap(BusyArena());
  SV_TEAMPLAY = 1;
  SV_BOTCOUNT = 12;
  SV_MAXPLAYERS = 24;
  SV_SCORELIMIT = 15;
  const ArenaResult r = RunArena(4000);
  EXPECT_GE(r.kills, 15);
  EXPECT_EQ(r.wins, 1);
}

TEST_F(ArenaTest, DegenerateSettingsRunWithoutStuckCounters) {
  const struct {
    const char* what;
    std::vector<std::string> map;
    uint8_t bots, max_players, limit;
  } setups[] = {
      {"no spawn points", {"", "", "   5  A  1"}, 6, 10, 20},
      {"no items", {"@   @", "", "  A", "@   @"}, 8, 10, 1},
      {"player limit 2, 24 bots wanted", BusyArena(), 24, 2, 255},
      {"score limit 1", BusyArena(16), 10, 24, 1},
  };
  for (const auto& s : setups) {
    SCOPED_TRACE(s.what);
    SV_RESETALL();
    UseMap(s.map);
    SV_BOTCOUNT = s.bots;
    SV_MAXPLAYERS = s.max_players;
    SV_SCORELIMIT = s.limit;
    RunArena(1500);
    EXPECT_LE(SV_CURPLAYERS, s.max_players);
  }
}

}  // namespace
}  // namespace game_test
