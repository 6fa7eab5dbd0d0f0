// Whole matches on the real server: the real start-up with map files in a
// temporary directory, a UDP client on loopback, bots, and ticks run by
// GAMECYCLE until the score limit, the countdown and the next map. Every
// tick must keep the invariants of the world.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "alloc_counter.h"
#include "game_fixture.h"
#include "game_maps.h"
#include "game_match_client.h"

namespace game_test {
namespace {

enum class Role { kSpectator, kPlayer };

// One human behind a real socket, with a fixed script: a player joins, turns
// and fires all the time, wobbles in place and respawns when dead; a
// spectator only watches. Both reconnect when the server forgets them.
class Human {
 public:
  explicit Human(Role role) : role_(role) {}

  void act(int tick) {
    client_.receiveAll();
    if (!client_.connected()) {
      if (tick % 10 == 0) client_.sendConnect(NET_PORT, "Ann", 1);
      return;
    }
    const SnapshotEntry& me = client_.entry(client_.slot());
    uint8_t action = ACT_NONE;
    uint16_t x = me.x, y = me.y;
    if (role_ == Role::kPlayer) {
      if (me.state == PS_SPECTATOR)
        action = ACT_SPECJOIN;
      else
        action = ACT_FIRE;  // fires while alive, respawns while dead
      x = static_cast<uint16_t>(x + (tick % 2 ? 5 : -5));
    }
    client_.sendInput(NET_PORT, static_cast<uint16_t>(tick * 7 % 360), action, x, y);
  }

  MatchClient& client() { return client_; }

 private:
  Role role_;
  MatchClient client_;
};

class MatchTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    old_dir_ = std::filesystem::current_path();
    char pattern[] = "/tmp/vornax_match_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    std::filesystem::current_path(dir_);
    std::filesystem::create_directory("maps");
  }
  void TearDown() override {
    GameTest::TearDown();
    std::filesystem::current_path(old_dir_);
    std::filesystem::remove_all(dir_);
  }

  static void WriteMap(const std::string& name, const std::vector<std::string>& rows) {
    std::ofstream f("maps/" + name + ".vnxm");
    f << "333777\n";
    for (const std::string& row : rows) f << row << "\n";
  }

  void Start(std::vector<std::string> args) {
    args.insert(args.begin(), {"vornaxdm_server", "-port", "0"});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    ASSERT_TRUE(GAMESTART(static_cast<int>(argv.size()), argv.data()));
  }

  // One tick: the human acts, the server ticks, the new log lines are kept.
  void Tick(Human* human) {
    if (human) human->act(tick_);
    GAMECYCLE();
    ++tick_;
    const int fresh = SV_LOGI - seen_lines_;
    ASSERT_LT(fresh, LOG_LINES);
    for (int k = fresh - 1; k >= 0; --k) lines_.push_back(SV_LOG[k].str());
    seen_lines_ = SV_LOGI;
  }

  // Runs ticks, checking the invariants, until the map changes after a won
  // match or the tick budget runs out; returns whether the map changed.
  bool RunUntilNextMap(Human& human, int max_ticks) {
    const uint8_t first_map = SV_MAP.map_index;
    for (int t = 0; t < max_ticks; ++t) {
      const uint8_t occupied = SV_CURCLIENTS;
      Tick(&human);
      ExpectInvariants();
      if (::testing::Test::HasFailure()) return false;
      if (SV_MAP.map_index != first_map || (SV_SCOREBOARD == 0 && WinLines() > 0)) {
        occupied_before_change_ = occupied;
        return true;
      }
    }
    return false;
  }

  int CountLines(uint8_t code) const {
    int n = 0;
    for (const std::string& l : lines_) n += !l.empty() && static_cast<uint8_t>(l[0]) == code;
    return n;
  }
  int WinLines() const { return CountLines(EV_WIN) + CountLines(EV_TEAMWIN); }

  int tick_ = 0;
  uint16_t seen_lines_ = 0;
  std::vector<std::string> lines_;  // every line the server logged, in order
  uint8_t occupied_before_change_ = 0;

 private:
  std::filesystem::path old_dir_, dir_;
};

// The countdown values of the snapshots, from the first non-zero one on.
std::vector<uint16_t> Countdown(const MatchClient& client) {
  const auto& all = client.countdowns();
  std::vector<uint16_t> out;
  for (uint16_t c : all)
    if (c != 0 || !out.empty()) out.push_back(c);
  return out;
}

void ExpectFullCountdown(const MatchClient& client) {
  std::vector<uint16_t> expected;
  for (uint16_t c = 494; c >= 1; --c) expected.push_back(c);
  EXPECT_EQ(Countdown(client), expected);
}

void ExpectEverySlotFree() {
  EXPECT_EQ(SV_CURCLIENTS, 0);
  EXPECT_EQ(SV_CURPLAYERS, 0);
  EXPECT_EQ(SV_BOTC, 0);
  for (int j = 1; j <= MAX_SLOTS; ++j) EXPECT_EQ(SV_CLIENTSLIST[j].in_use, 0) << j;
}

TEST_F(MatchTest, FreeForAllMatchEndsAndTheNextMapStarts) {
  for (Role role : {Role::kPlayer, Role::kSpectator}) {
    SCOPED_TRACE(role == Role::kPlayer ? "joined human" : "spectating human");
    ResetServer();
    lines_.clear();
    seen_lines_ = 0;
    WriteMap("hall", BusyArena(24));
    WriteMap("yard", BusyArena(16));
    Start({"-map", "hall", "-map", "yard", "-bots", "7", "-score", "5", "-maxplayers", "24"});
    Human human(role);
    ASSERT_TRUE(RunUntilNextMap(human, 40000));
    EXPECT_EQ(WinLines(), 1);
    EXPECT_EQ(CountLines(EV_WIN), 1);
    EXPECT_GE(CountLines(EV_KILL), 5);
    ExpectFullCountdown(human.client());
    // The client was told of the win through its message log.
    bool told = false;
    for (const std::string& l : human.client().log()) told |= static_cast<uint8_t>(l[0]) == EV_WIN;
    EXPECT_TRUE(told);
    // Everybody was removed, each with a disconnect line, and the next map is current.
    ExpectEverySlotFree();
    EXPECT_EQ(occupied_before_change_, 8);
    for (int k = 0; k < occupied_before_change_; ++k)
      EXPECT_EQ(static_cast<uint8_t>(lines_[lines_.size() - 1 - k][0]), EV_DISCONNECT);
    EXPECT_EQ(SV_MAP.map_index, 2);
    EXPECT_EQ(SV_MAPL[2].name.str(), "yard");

    // The client finds itself unknown, connects again, and the bots come
    // back one per tick.
    for (int t = 0; t < 40 && SV_CURCLIENTS == 0; ++t) Tick(&human);
    ASSERT_EQ(SV_CURCLIENTS - SV_BOTC, 1);
    EXPECT_EQ(human.client().notConnectedReplies(), 1);
    for (int bots = SV_BOTC; bots < 7; ++bots) {
      EXPECT_EQ(SV_BOTC, bots);
      Tick(&human);
    }
    EXPECT_EQ(SV_BOTC, 7);
    ExpectInvariants();
  }
}

TEST_F(MatchTest, TeamMatchEndsWithATeamWin) {
  WriteMap("hall", BusyArena(24));
  Start({"-map", "hall", "-bots", "8", "-score", "9", "-maxplayers", "24", "-teams", "1"});
  Human human(Role::kPlayer);
  ASSERT_TRUE(RunUntilNextMap(human, 40000));
  EXPECT_EQ(CountLines(EV_TEAMWIN), 1);
  EXPECT_EQ(CountLines(EV_WIN), 0);
  ExpectFullCountdown(human.client());
  ExpectEverySlotFree();
  EXPECT_EQ(SV_MAP.map_index, 1);  // the only map starts again
}

TEST_F(MatchTest, SameInputsGiveTheSameMessageLog) {
  std::vector<std::string> first;
  for (int run = 0; run < 2; ++run) {
    ResetServer();
    lines_.clear();
    seen_lines_ = 0;
    tick_ = 0;
    WriteMap("hall", BusyArena(24));
    Start({"-map", "hall", "-bots", "9", "-score", "6", "-maxplayers", "24"});
    Human human(Role::kPlayer);
    for (int t = 0; t < 3000; ++t) Tick(&human);
    if (run == 0) {
      first = lines_;
      EXPECT_GE(CountLines(EV_KILL), 5);
    } else {
      EXPECT_EQ(lines_, first);
    }
  }
}

TEST_F(MatchTest, BotsWaitForAHumanAndFillTheFreeSlots) {
  WriteMap("hall", BusyArena(24));
  Start({"-map", "hall", "-bots", "24", "-maxplayers", "2"});
  for (int t = 0; t < 50; ++t) Tick(nullptr);
  EXPECT_EQ(SV_PINGVAR, 0);
  EXPECT_EQ(SV_BOTC, 0);
  Human human(Role::kPlayer);
  for (int t = 0; t < 600; ++t) {
    Tick(&human);
    ExpectInvariants();
    ASSERT_FALSE(HasFailure()) << "tick " << t;
  }
  EXPECT_EQ(SV_CURCLIENTS, 24);
  EXPECT_EQ(SV_BOTC, 23);  // the human has the 24th slot
  EXPECT_EQ(SV_CURPLAYERS, 2);
}

TEST_F(MatchTest, DegenerateMapsAndLimitsRunWithoutStuckCounters) {
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
  };
  for (const auto& s : setups) {
    SCOPED_TRACE(s.what);
    ResetServer();
    WriteMap("m", s.map);
    std::vector<std::string> args = {"-map", "m"};
    args.insert(args.end(), s.args.begin(), s.args.end());
    Start(args);
    Human human(Role::kPlayer);
    for (int t = 0; t < 1500; ++t) {
      Tick(&human);
      ExpectInvariants();
      ASSERT_FALSE(HasFailure()) << "tick " << t;
    }
  }
}

TEST_F(MatchTest, FightingTicksAllocateNothing) {
  WriteMap("hall", BusyArena(32));
  Start({"-map", "hall", "-bots", "24", "-score", "255", "-maxplayers", "24"});
  Human human(Role::kPlayer);
  for (int t = 0; t < 100; ++t) Tick(&human);  // every bot created and joined
  ASSERT_EQ(SV_CURPLAYERS, 24);
  const uint16_t lines_before = SV_LOGI;
  long allocations = 0;
  for (int t = 0; t < 600; ++t) {
    human.act(t);
    alloc_counter::allocations = 0;
    alloc_counter::counting = true;
    GAMECYCLE();
    alloc_counter::counting = false;
    allocations += alloc_counter::allocations;
  }
  EXPECT_EQ(allocations, 0);
  EXPECT_GT(SV_LOGI - lines_before, 5);  // they did fight
}

}  // namespace
}  // namespace game_test
