// Every datagram the server can send, applied through the datagram handler
// on memory: connection states, snapshots, game information, the message
// log and its events.
#include "client/presentation/renderer.h"
#include "client_test.h"

namespace {

class SessionTest : public ClientTest {
 protected:
  void Connected() {
    conn_state = CS_CONNECTED;
    awaiting_info = false;
  }
  std::string LastLog() const { return log_lines.empty() ? "" : log_lines.back(); }
};

TEST_F(SessionTest, OnlyTheServerIsHeardAndWhileConnectingOnlyRefusalsAndSnapshotsCount) {
  conn_state = CS_CONNECTING;
  awaiting_info = false;
  Deliver(Snapshot(1, {}), "127.0.0.2");
  Deliver("q", "10.0.0.1");
  Deliver("q");
  Deliver(Datagram().byte('p').byte(28));
  Deliver(Datagram().byte('l').word(9).raw(std::string("000000\0", 7)).str("m").str("s"));
  Deliver(Datagram().byte('m').word(3).byte(1).str(Line({6, 1})));
  Deliver("o");
  Deliver("z");
  EXPECT_EQ(log_lines, (std::vector<std::string>{"Server ful", "Wrong protocol version! Server protocol: 28"}));
  EXPECT_EQ(log_ack, 0);
  EXPECT_EQ(conn_state, CS_CONNECTING);

  Deliver(Snapshot(1, {}, {}, OwnBlock{.slot = 7}));
  EXPECT_EQ(conn_state, CS_CONNECTED);
  EXPECT_EQ(my_slot, 7);
  EXPECT_EQ(view_slot, 7);
  EXPECT_EQ(LastLog(), "Connected!");

  awaiting_info = false;
  log_ack = 40;
  Deliver("o");  // the server lost the slot: connect again
  EXPECT_EQ(conn_state, CS_CONNECTING);
  EXPECT_TRUE(awaiting_info);
  EXPECT_EQ(log_ack, 0);
}

TEST_F(SessionTest, SnapshotEntriesAreClampedAndMissingFieldsKeepTheirValues) {
  Connected();
  players[5].frags = 9;
  players[5].x = 1234;
  players[6].state = PS_ALIVE;
  Deliver(Snapshot(300,
                   {{.slot = 0, .state = 0, .ping = 0},  // slot 0 -> 1, state 0 -> spectator
                    {.slot = 5, .state = 2, .ping = 4, .frags = 3},
                    {.slot = 99, .state = 9, .ping = 200, .frags = 1, .x = 10, .y = 5000, .dir = 90, .gun = 9}},
                   {0, 3, 129, 128}, OwnBlock{.slot = 40, .health = 77, .armor = 5, .ammo1 = 6, .ammo2 = 8, .gun = 0},
                   99));
  EXPECT_EQ(server_tick, 300);
  EXPECT_EQ(restart_countdown, 99);
  EXPECT_EQ(l_sb_stat.caption, "Scorelimit hit! Server restart: 3");
  EXPECT_EQ(players[1].state, PS_SPECTATOR);
  EXPECT_EQ(players[1].ping, 0);
  EXPECT_EQ(players[5].state, PS_DEAD);
  EXPECT_EQ(players[5].ping, 3);
  EXPECT_EQ(players[5].frags, 3);
  EXPECT_EQ(players[5].x, 1234);  // a dead entry carries no position
  EXPECT_EQ(players[6].state, PS_NONE);
  EXPECT_EQ(players[6].prev_state, PS_ALIVE);
  EXPECT_EQ(players[24].state, PS_FIRING);
  EXPECT_EQ(players[24].ping, 199);
  EXPECT_EQ(players[24].x, 65);
  EXPECT_EQ(players[24].y, 4159);
  EXPECT_EQ(players[24].dir, 90);
  EXPECT_EQ(my_slot, 24);
  EXPECT_EQ(players[24].gun, 1);  // the own block's 0 is clamped to 1
  EXPECT_EQ(health, 77);
  EXPECT_EQ(armor, 5);
  EXPECT_EQ(ammo[1], 6);
  EXPECT_EQ(ammo[2], 8);
  EXPECT_EQ(map_items[3].present, 1);
  EXPECT_EQ(map_items[128].present, 1);
  EXPECT_EQ(map_items[1].present, 0);

  Deliver(Snapshot(301, {}));  // the next snapshot starts from nothing
  EXPECT_EQ(map_items[3].present, 0);
  EXPECT_EQ(players[24].state, PS_NONE);
  EXPECT_EQ(restart_countdown, 0);
}

TEST_F(SessionTest, PickUpsFlashOnlyForAPlayerWhoWasAlive) {
  Connected();
  camera = Camera{};
  health = 50;
  armor = 0;
  Deliver(Snapshot(1, {{.slot = 1, .state = 3, .x = 500, .y = 500}}, {}, OwnBlock{.health = 100, .armor = 50}));
  EXPECT_EQ(camera.tint_r, 255);  // respawn refill: no feedback
  Deliver(Snapshot(2, {{.slot = 1, .state = 3, .x = 500, .y = 500}}, {},
                   OwnBlock{.health = 100, .armor = 60, .ammo1 = 30}));
  EXPECT_EQ(camera.tint_r, 255 - 10 - 30);
  EXPECT_EQ(camera.tint_g, 255 - 10);
  EXPECT_EQ(camera.tint_b, 255 - 30);
}

TEST_F(SessionTest, GameInformationFillsMapSettingsPlayersAndCaption) {
  Connected();
  awaiting_info = true;
  std::string map = MapText({"AB", " 1 2"}, "111222");
  Deliver(Datagram()
              .byte('l')
              .word(17)
              .raw(map)
              .byte(0)
              .str("Arena")
              .str("Box")
              .byte(20)
              .byte(1)
              .byte(16)
              .byte(4)
              .byte(2).byte(3).str("Ann")
              .byte(0).byte(1).str("Nobody")
              .byte(30).byte(1).str("Nobody")
              .byte(24).byte(200).str("Zed")
              );
  EXPECT_FALSE(awaiting_info);
  EXPECT_EQ(log_ack, 17);
  EXPECT_EQ(map_grid[2][1], 'B');
  EXPECT_EQ(map_items[2].kind, '2');
  EXPECT_EQ(ceiling_colour, 0x1C1C1Cu);
  EXPECT_EQ(map_name, "Arena");
  EXPECT_EQ(server_name, "Box");
  EXPECT_EQ(score_limit, 20);
  EXPECT_EQ(team_play, 1);
  EXPECT_EQ(max_players, 16);
  EXPECT_EQ(players[2].name, "Ann");
  EXPECT_EQ(players[2].team, 3);
  EXPECT_EQ(players[24].name, "Zed");
  EXPECT_EQ(players[24].team, 3);
  const std::string info = "server name: Box\rmap: Arena  scorelimit: 20\rmax players: 16  game type: Team DM";
  EXPECT_EQ(l_sb_stat.caption, info);
  EXPECT_EQ(LastLog(), info);

  // A shorter map replaces the longer one completely.
  Deliver(Datagram().byte('l').word(18).raw("000").byte(0).str("Tiny").str("Box").byte(5).byte(0).byte(8).byte(0));
  EXPECT_EQ(map_grid[2][1], ' ');
  EXPECT_EQ(map_items[2].kind, '1');
  EXPECT_EQ(map_items[2].x, 0.0f);
  EXPECT_EQ(map_text[4], 0);
  EXPECT_EQ(map_text[8], 0);
  EXPECT_EQ(l_sb_stat.caption, "server name: Box\rmap: Tiny  scorelimit: 5\rmax players: 8  game type: DM");
}

TEST_F(SessionTest, OversizedMapTextIsCutAndTheRestOfTheMessageStillRead) {
  Connected();
  std::string huge(4500, 'x');
  Deliver(Datagram().byte('l').word(1).raw(huge).byte(0).str("Big").str("S").byte(9));
  EXPECT_EQ(map_text[MAP_TEXT_SIZE - 1], 'x');
  EXPECT_EQ(map_text[MAP_TEXT_SIZE], 0);
  EXPECT_EQ(map_name, "Big");
  EXPECT_EQ(score_limit, 9);
  EXPECT_EQ(map_grid[64][1], 'x');
  EXPECT_EQ(map_grid[1][2], ' ');

  // No terminator at all: the read stops at the end of the buffer.
  Deliver(Datagram().byte('l').word(1).raw(std::string(4999, 'B')));
  EXPECT_EQ(map_name, "");
  EXPECT_EQ(map_grid[1][1], 'B');
}

TEST_F(SessionTest, LogBatchesApplyOnlyWhenNewerCountingAcrossTheWrap) {
  Connected();
  players[1].name = "Ann";
  log_ack = 5;
  Deliver(Datagram().byte('m').word(5).byte(1).str(Line({6, 1})));
  EXPECT_TRUE(log_lines.empty());
  Deliver(Datagram().byte('m').word(9).byte(2).str(Line({6, 1})).str(Line({7, 1})));
  EXPECT_EQ(log_ack, 9);
  ASSERT_EQ(log_lines.size(), 2u);
  EXPECT_EQ(log_lines[0], "Ann has joined the game!");
  EXPECT_EQ(log_lines[1], "Ann has left the game!");

  log_ack = 65530;
  Deliver(Datagram().byte('m').word(3).byte(1).str(Line({3, 1})));
  EXPECT_EQ(log_ack, 3);
  EXPECT_EQ(LastLog(), "Ann time out!");
  Deliver(Datagram().byte('m').word(65534).byte(1).str(Line({2, 1})));  // older
  EXPECT_EQ(log_ack, 3);
  EXPECT_EQ(log_lines.size(), 3u);

  // Our acknowledgement of line 3 was lost; the server sends 2..4 again with
  // the new line 4: only line 4 is new.
  Deliver(Datagram().byte('m').word(4).byte(3).str(Line({2, 1})).str(Line({3, 1})).str(Line({6, 1})));
  EXPECT_EQ(log_ack, 4);
  ASSERT_EQ(log_lines.size(), 4u);
  EXPECT_EQ(LastLog(), "Ann has joined the game!");

  awaiting_info = true;  // after a reconnect the log waits for the game information
  Deliver(Datagram().byte('m').word(20).byte(1).str(Line({2, 1})));
  EXPECT_EQ(log_ack, 4);
}

TEST_F(SessionTest, EventLinesGiveTheirTextsAndAnnouncements) {
  view_slot = 2;
  ApplyEvent(Line({1, 2, 1}, "Ann"));
  ApplyEvent(Line({1, 3, 9}, "Bob the very long named player"));
  EXPECT_EQ(players[2].team, 1);
  EXPECT_EQ(players[3].team, 3);  // a team byte past 3 would pick no skin
  EXPECT_EQ(players[3].name, "Bob the very long na");
  ApplyEvent(Line({2, 3}));
  ApplyEvent(Line({4, 3}, "hi all"));
  ApplyEvent(Line({5, 2, 2, 3}));
  EXPECT_EQ(announce_timer, 99);
  EXPECT_EQ(l_anon.caption, "You fragged Bob the very long na!");
  ApplyEvent(Line({5, 5, 3, 2}));
  EXPECT_EQ(l_anon.caption, "You were fragged by Bob the very long na!");
  ApplyEvent(Line({8, 2}));
  ApplyEvent(Line({9, 2}));
  std::vector<std::string> expected = {"Ann connected!",
                                        "Bob the very long na connected!",
                                        "Bob the very long na disconnected!",
                                        "Bob the very long na: hi all",
                                        "Ann > pistol > Bob the very long na",
                                        "Bob the very long na > rifle > Ann",
                                        "Ann WINS!",
                                        "Soldiers team  WINS!"};
  EXPECT_EQ(log_lines, expected);
  EXPECT_EQ(l_anon.caption, "Soldiers team  WINS!");
}

TEST_F(SessionTest, OutOfRangeAndShortEventLinesStayInsideTheTables) {
  players[24].name = "Last";
  players[1].name = "First";
  ApplyEvent("");
  ApplyEvent(Line({10}, "server info"));
  ApplyEvent(Line({11, 1}));
  ApplyEvent(Line({0, 1}));
  EXPECT_TRUE(log_lines.empty());
  ApplyEvent(Line({5, 0, 250, 0}));  // weapon 0, killer 250, victim 0
  ApplyEvent(Line({5, 9}));          // cut short: killer and victim read as 0
  ApplyEvent(Line({9, 77}));
  ApplyEvent(Line({6, 200}));
  ApplyEvent(Line({1}));
  std::vector<std::string> expected = {"Last > knife > First", "First > rifle > First", "Officers team  WINS!",
                                       "Last has joined the game!", " connected!"};
  EXPECT_EQ(log_lines, expected);
  EXPECT_EQ(players[1].team, 0);
}

}  // namespace
