// Items, spawn points, joining and leaving, and the end of a match.
#include "server_test.h"

namespace {

using RulesTest = ServerTest;

// A map with one item of the given kind at cell (10, 10) and the player
// standing on it with the given supplies.
struct Supplies {
  uint8_t health, armor, ammo1, ammo2;
  bool has_mp40 = false;
};

void StandOnItem(char kind, const Supplies& s) {
  std::vector<std::string> rows(10);
  rows[9] = std::string(9, ' ') + kind;
  UseMap(rows);
  AddPlayer(1, Centre(10), Centre(10));
  ClientRecord& c = SV_CLIENTSLIST[1];
  c.health = s.health;
  c.armor = s.armor;
  c.ammo[1] = s.ammo1;
  c.ammo[2] = s.ammo2;
  if (s.has_mp40) c.has_gun[3] = 1;
}

TEST_F(RulesTest, ItemKindsGiveWhatThePlayerCanUse) {
  struct Case {
    char kind;
    Supplies before;
    Supplies after;
    uint8_t next_gun;
    uint16_t respawn;  // 0: the item stays
  } cases[] = {
      {'8', {95, 25, 25, 0}, {100, 50, 45, 5}, 2, 1050},
      {'8', {100, 100, 195, 28}, {100, 100, 200, 30}, 2, 1050},
      {'5', {100, 100, 25, 0}, {100, 100, 25, 0}, 2, 0},  // nothing to give: stays
      {'5', {97, 25, 25, 0}, {100, 25, 25, 0}, 2, 300},
      {'0', {100, 60, 25, 0}, {100, 100, 25, 0}, 2, 600},
      {'1', {100, 25, 25, 0}, {100, 25, 45, 0}, 3, 240},                  // a new weapon is selected
      {'1', {100, 25, 200, 0, true}, {100, 25, 200, 0, true}, 2, 240},    // owned: still taken
      {'2', {100, 25, 190, 0}, {100, 25, 200, 0}, 4, 240},
      {'3', {100, 25, 25, 30}, {100, 25, 30, 30}, 2, 300},
      {'4', {100, 25, 200, 0}, {100, 25, 200, 0}, 2, 0},
      {'7', {100, 25, 25, 0}, {100, 25, 25, 5}, 2, 600},  // health part lost, ammunition taken
      {'9', {100, 25, 25, 0}, {100, 25, 25, 0}, 5, 240},
  };
  for (const Case& k : cases) {
    ResetServer();
    StandOnItem(k.kind, k.before);
    PLAYER_ITEMS(1);
    const ClientRecord& c = SV_CLIENTSLIST[1];
    const std::string what = std::string("kind ") + k.kind + " at health " + std::to_string(k.before.health);
    EXPECT_EQ(c.health, k.after.health) << what;
    EXPECT_EQ(c.armor, k.after.armor) << what;
    EXPECT_EQ(c.ammo[1], k.after.ammo1) << what;
    EXPECT_EQ(c.ammo[2], k.after.ammo2) << what;
    EXPECT_EQ(c.next_gun, k.next_gun) << what;
    EXPECT_EQ(SV_MAP.items[1].respawn, k.respawn) << what;
  }
}

TEST_F(RulesTest, PickUpReachIsStrictlyWithin32AndATakenItemIsBackAfterItsRespawnTime) {
  UseMap({"", "", "", "", "56"});  // items at (Centre(1), Centre(5)) and (Centre(2), Centre(5))
  AddPlayer(1, Centre(1) + 32, Centre(5));
  ClientRecord& c = SV_CLIENTSLIST[1];
  c.health = 50;
  SV_MAPITEMS();
  PLAYER_ITEMS(1);
  EXPECT_EQ(c.health, 50);  // 32 from both: neither
  c.x = Centre(1) + 31;
  c.y = Centre(5) - 31;
  PLAYER_ITEMS(1);  // taken during tick t
  EXPECT_EQ(c.health, 55);
  EXPECT_EQ(SV_MAP.items[2].respawn, 0);
  for (int t = 0; t < 299; ++t) {
    SV_MAPITEMS();
    ASSERT_EQ(SV_MAP.item_count, 1) << t;  // only the other one
  }
  SV_MAPITEMS();
  EXPECT_EQ(SV_MAP.item_count, 2);  // present at the end of tick t + 299
  c.health = 50;
  PLAYER_ITEMS(1);
  EXPECT_EQ(c.health, 55);
}

TEST_F(RulesTest, RespawnCyclesSpawnPointsWithTheTickCounterOrWithoutThemKeepsThePosition) {
  UseMap({"@ @", "", "  @"});
  AddPlayer(1, 1000, 1100);
  ClientRecord& c = SV_CLIENTSLIST[1];
  const uint16_t expected[][2] = {{Centre(1), Centre(1)}, {Centre(3), Centre(1)}, {Centre(3), Centre(3)},
                                  {Centre(1), Centre(1)}};
  for (uint16_t tick = 0; tick < 4; ++tick) {
    SV_PINGVAR = tick;
    PLAYER_RESPAWN(1);
    EXPECT_EQ(c.x, expected[tick][0]) << tick;
    EXPECT_EQ(c.y, expected[tick][1]) << tick;
  }
  UseMap({});
  c.x = 1000;
  c.y = 1100;
  c.health = 0;
  c.has_gun[4] = 1;
  c.gun = c.next_gun = 4;
  c.frags = 7;
  PLAYER_RESPAWN(1);
  EXPECT_EQ(c.x, 1000);
  EXPECT_EQ(c.y, 1100);
  EXPECT_EQ(c.health, 100);
  EXPECT_EQ(c.has_gun[4], 0);
  EXPECT_EQ(c.next_gun, 2);
  EXPECT_EQ(c.frags, 7);
}

TEST_F(RulesTest, SpectateToggleJoinsLeavesAndRespectsThePlayerLimit) {
  UseMap({"@"});
  SV_MAXPLAYERS = 2;
  for (uint8_t j = 1; j <= 3; ++j) AddSpectator(j);
  for (uint8_t j = 1; j <= 3; ++j) PLAYER_SPECJOIN(j);
  EXPECT_EQ(SV_CURPLAYERS, 2);
  EXPECT_EQ(SV_CLIENTSLIST[3].joined, 0);  // the game is full
  EXPECT_EQ(SV_CLIENTSLIST[3].specjoin_wait, 90);
  EXPECT_EQ(LogLine(0), Line({EV_JOIN, 2}));
  EXPECT_EQ(LogLine(1), Line({EV_JOIN, 1}));

  SV_CLIENTSLIST[1].frags = 5;
  PLAYER_SPECJOIN(1);  // still cooling down
  EXPECT_EQ(SV_CLIENTSLIST[1].joined, 1);
  EXPECT_EQ(SV_CLIENTSLIST[1].frags, 5);
  SV_CLIENTSLIST[1].specjoin_wait = 0;
  PLAYER_SPECJOIN(1);
  EXPECT_EQ(SV_CLIENTSLIST[1].joined, 0);
  EXPECT_EQ(SV_CLIENTSLIST[1].frags, 0);
  EXPECT_EQ(SV_CURPLAYERS, 1);
  EXPECT_EQ(LogLine(), Line({EV_LEAVE, 1}));
  SV_CLIENTSLIST[3].specjoin_wait = 0;
  SV_CLIENTSLIST[3].action = ACT_SPECJOIN;
  PLAYER_ACTIONS(3);  // spectators toggle through the action too
  EXPECT_EQ(SV_CLIENTSLIST[3].joined, 1);
  ExpectInvariants();
}

TEST_F(RulesTest, FreeForAllEndsWhenAPlayerReachesTheLimitOf3Or1Or255) {
  for (uint8_t limit : {3, 1, 255}) {
    SCOPED_TRACE(int(limit));
    ResetServer();
    UseMap({});
    SV_SCORELIMIT = limit;
    AddPlayer(1, 500, 500);
    AddPlayer(2, 900, 500);
    SV_CLIENTSLIST[1].frags = static_cast<uint8_t>(limit - 1);
    SV_CLIENTSLIST[2].health = 1;
    PLAYER_DAMAGE(1, 2, 2);
    EXPECT_EQ(SV_CLIENTSLIST[1].frags, limit);
    EXPECT_EQ(LogLine(0), Line({EV_WIN, 1}));
    EXPECT_EQ(LogLine(1), Line({EV_KILL, 2, 1, 2}));
    EXPECT_EQ(SV_SCOREBOARD, 495);
  }
}

TEST_F(RulesTest, TeamPlayAddsTheJoinedMembersFragsAndALeaverTakesHisShareAlong) {
  UseMap({});
  SV_TEAMPLAY = 1;
  AddPlayer(1, 500, 500, 2);
  AddPlayer(2, 900, 500, 0);
  AddPlayer(3, 900, 900, 1);
  AddPlayer(4, 500, 900, 1);
  AddPlayer(6, 500, 700, 1);
  AddSpectator(5);
  SV_CLIENTSLIST[5].team = 1;
  SV_CLIENTSLIST[5].frags = 10;  // spectators' frags do not count
  SV_CLIENTSLIST[3].frags = 12;
  SV_CLIENTSLIST[4].frags = 6;
  SV_CLIENTSLIST[6].frags = 5;
  SV_CLIENTSLIST[1].frags = 19;
  PLAYER_SPECJOIN(6);  // back to spectating: 5 frags gone
  SV_CLIENTSLIST[2].health = 1;
  PLAYER_DAMAGE(4, 2, 2);  // team 1: 12 + 7
  EXPECT_EQ(SV_SCOREBOARD, 0);
  EXPECT_EQ(SV_CLIENTSLIST[4].frags, 7);
  SV_CLIENTSLIST[2].health = 1;
  PLAYER_DAMAGE(4, 2, 2);  // 12 + 8 = 20
  EXPECT_EQ(LogLine(), Line({EV_TEAMWIN, 1}));
  EXPECT_EQ(SV_SCOREBOARD, 495);
}

}  // namespace
