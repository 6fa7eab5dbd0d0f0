// Recorded keys and mouse driving the frame's input step; chat, the event
// log, frame rate, screenshots and the scoreboard.
#include <sys/stat.h>

#include "client/core/scoreboard.h"
#include "client_test.h"

namespace {

class InputTest : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    menu_open = false;
    l_log.visible = true;
    my_slot = view_slot = 1;
    players[1].state = PS_ALIVE;
    local_x = local_y = 1000;
    headless_cursor_x = mouse_anchor_x = 400;
    headless_cursor_y = mouse_anchor_y = 300;
  }
  // One frame's input step after the handlers recorded what the user did.
  uint8_t InputFrame() {
    ProcessInput();
    return action;
  }
  void Type(const std::string& text) {
    for (char c : text) {
      FormKeyPress(static_cast<uint8_t>(c));
      InputFrame();
    }
  }
};

TEST_F(InputTest, KeyStatesCountFramesAndOneEventReachesOneFrame) {
  FormKeyDown('W');
  EXPECT_EQ(key_state[uint8_t{'W'}], 1);
  EXPECT_EQ(last_key, 'W');
  FormKeyDown('W');  // auto-repeat
  EXPECT_EQ(key_state[uint8_t{'W'}], 1);
  InputFrame();
  EXPECT_EQ(key_state[uint8_t{'W'}], 2);
  EXPECT_EQ(last_key, 0);
  for (int i = 0; i < 300; ++i) InputFrame();
  EXPECT_EQ(key_state[uint8_t{'W'}], 255);
  FormKeyUp('W');
  EXPECT_EQ(key_state[uint8_t{'W'}], 0);

  // A tap between two frames still reaches one frame as a new press.
  FormKeyDown('G');
  FormKeyUp('G');
  EXPECT_EQ(InputFrame(), ACT_SPECJOIN);
  EXPECT_EQ(InputFrame(), ACT_NONE);
  EXPECT_EQ(key_state[uint8_t{'G'}], 0);
  FormKeyDown('G');
  FormKeyUp('G');
  FormKeyDown('G');  // pressed again before the frame: held on
  InputFrame();
  InputFrame();
  EXPECT_EQ(key_state[uint8_t{'G'}], 3);
  FormKeyUp('G');

  Image2MouseDown(4);
  InputFrame();
  EXPECT_EQ(key_state[4], 2);
  FormMouseUp(4);
  EXPECT_EQ(key_state[4], 0);
}

TEST_F(InputTest, OneActionPerFrameLaterStepsWin) {
  Image2MouseDown(1);
  EXPECT_EQ(InputFrame(), ACT_FIRE);
  EXPECT_EQ(InputFrame(), ACT_FIRE);  // held fire keeps firing
  FormKeyDown('3');
  EXPECT_EQ(InputFrame(), ACT_GUN1 + 2);
  FormKeyDown('2');
  FormKeyDown('5');
  EXPECT_EQ(InputFrame(), ACT_GUN5);  // the last weapon key wins
  FormKeyDown('4');
  FormKeyDown('G');
  EXPECT_EQ(InputFrame(), ACT_SPECJOIN);
  awaiting_info = true;
  FormKeyDown('1');
  EXPECT_EQ(InputFrame(), ACT_INFO);

  awaiting_info = false;
  FormKeyDown('W');  // moving needs the own view and no round-end countdown
  InputFrame();
  EXPECT_EQ(local_x, 1011);
  restart_countdown = 100;
  InputFrame();
  view_slot = 3;
  restart_countdown = 0;
  InputFrame();
  EXPECT_EQ(local_x, 1011);
  view_slot = 1;
  health = 0;  // dead: fire asks to respawn, weapon keys do nothing, nobody moves
  players[1].state = PS_DEAD;
  FormKeyDown('2');
  FormKeyDown('W');
  EXPECT_EQ(InputFrame(), ACT_FIRE);
  EXPECT_EQ(local_x, 1011);
}

TEST_F(InputTest, SpectatorAttackFollowsTheNextPlayingSlotOncePerPress) {
  players[1].state = PS_SPECTATOR;
  players[5].state = PS_ALIVE;
  players[5].name = "Eve";
  players[9].state = PS_DEAD;
  players[12].state = PS_SPECTATOR;
  Image2MouseDown(1);
  EXPECT_EQ(InputFrame(), ACT_NONE);
  EXPECT_EQ(view_slot, 5);
  EXPECT_EQ(l_sb_n.caption, "name\r  \r<Eve>\r  \r  \r");
  InputFrame();
  EXPECT_EQ(view_slot, 5);  // held: no further step
  Image2MouseUp(1);
  Image2MouseDown(1);
  InputFrame();
  EXPECT_EQ(view_slot, 9);
  Image2MouseUp(1);
  Image2MouseDown(1);
  InputFrame();
  EXPECT_EQ(view_slot, 1);  // past 24 back to the own slot
}

TEST_F(InputTest, MouseLookTurnsByTheFactorAndRecentresTheCursor) {
  cfg.mouse_factor = 0.5f;
  headless_cursor_x += 10;
  headless_cursor_y += 40;  // vertical movement is ignored
  InputFrame();
  EXPECT_FLOAT_EQ(view_angle, 5.0f);
  EXPECT_EQ(headless_cursor_x, 400);
  EXPECT_EQ(headless_cursor_y, 300);

  headless_cursor_x -= 20;
  InputFrame();
  EXPECT_FLOAT_EQ(view_angle, 355.0f);

  restart_countdown = 5;  // frozen, but the cursor still goes back
  headless_cursor_x += 30;
  InputFrame();
  EXPECT_FLOAT_EQ(view_angle, 355.0f);
  EXPECT_EQ(headless_cursor_x, 400);

  restart_countdown = 0;
  headless_cursor_x += 3000;  // a flick far past a whole turn stays a direction
  InputFrame();
  EXPECT_GE(view_angle, 0.0f);
  EXPECT_LT(view_angle, 360.0f);
  EXPECT_FLOAT_EQ(view_angle, 55.0f);

  headless_cursor_x += 10;
  headless_window_active = false;
  InputFrame();
  EXPECT_FLOAT_EQ(view_angle, 55.0f);
  headless_window_active = true;
  menu_open = true;
  InputFrame();
  EXPECT_FLOAT_EQ(view_angle, 55.0f);
  EXPECT_EQ(headless_cursor_x, 410);
}

TEST_F(InputTest, ChatTakesItsCharacterSetUpTo84AndSendsOnReturn) {
  UdpPeer peer;
  cfg.server_port = peer.port();
  ASSERT_TRUE(InitNetwork());
  conn_state = CS_IDLE;
  FormKeyDown('T');
  InputFrame();
  EXPECT_FALSE(chat_active);  // no chat while idle
  FormKeyUp('T');

  conn_state = CS_CONNECTING;
  FormKeyDown('T');
  FormKeyPress('t');
  InputFrame();
  ASSERT_TRUE(chat_active);
  EXPECT_TRUE(l_chat.visible);
  Type("hi!$&',:;=^{|}~ ok\xC0\x7F");
  EXPECT_EQ(chat_line, "hi ok\xC0");
  EXPECT_EQ(l_chat.caption, " SAY: hi ok\xC0");
  Type("\b");
  EXPECT_EQ(chat_line, "hi ok");
  FormKeyDown('W');  // no movement while chatting
  Image2MouseDown(1);
  EXPECT_EQ(InputFrame(), ACT_NONE);
  EXPECT_EQ(local_x, 1000);
  Type(std::string(100, 'x'));
  EXPECT_EQ(chat_line.size(), 84u);

  FormKeyDown(13);
  FormKeyPress(13);
  InputFrame();
  EXPECT_FALSE(chat_active);
  EXPECT_FALSE(l_chat.visible);
  EXPECT_EQ(l_chat.caption, " SAY: ");
  EXPECT_EQ(peer.receive(1000), ChatMessage("hi ok" + std::string(79, 'x')));

  // Escape drops the chat line; only the next Escape opens the menu.
  FormKeyUp('T');
  FormKeyDown('T');
  InputFrame();
  Type("abc");
  FormKeyDown(27);
  InputFrame();
  EXPECT_FALSE(chat_active);
  EXPECT_TRUE(chat_line.empty());
  EXPECT_FALSE(menu_open);
  FormKeyUp(27);
  FormKeyDown(27);
  InputFrame();
  EXPECT_TRUE(menu_open);
}

TEST_F(InputTest, TheLogShowsEightLinesAndTheWheelScrollsBackToTheOldest) {
  for (int i = 0; i < 20; ++i) ShowLogLine("line" + std::to_string(i));
  auto shown = [](int first, int last) {
    std::string s;
    for (int i = first; i <= last; ++i) s += "line" + std::to_string(i) + "\r";
    return s;
  };
  EXPECT_EQ(l_log.caption, shown(12, 19));
  FormMouseWheelDown();
  EXPECT_EQ(l_log.caption, shown(11, 18));
  for (int i = 0; i < 20; ++i) FormMouseWheelDown();
  EXPECT_EQ(log_scroll, 11);
  EXPECT_EQ(l_log.caption, shown(1, 8));
  ShowLogLine("line20");  // new lines keep the distance from the newest
  EXPECT_EQ(l_log.caption, shown(2, 9));
  FormMouseWheelUp();
  EXPECT_EQ(log_scroll, 10);
  l_log.visible = false;
  FormMouseWheelUp();
  EXPECT_EQ(log_scroll, 10);
  // The scoreboard starts where the log ends.
  EXPECT_EQ(l_sb_stat.top, l_log.height);

  ASSERT_EQ(::mkdir("outlog.txt", 0700), 0);  // a log file that cannot be opened
  LogLine("still shown");
  EXPECT_EQ(log_lines.back(), "still shown");
}

TEST_F(InputTest, FrameRateIsShownEvery33FramesAtTheRightEdge) {
  ResetFrameClock();
  for (int i = 0; i < 33; ++i) {
    headless_ticks += 30;
    UpdateFps();
  }
  EXPECT_EQ(frame_counter, 0);
  EXPECT_EQ(l_fps.caption, "34 v28");  // trunc(1033 / 990 * 33)
  EXPECT_EQ(l_fps.left, headless_client_w - l_fps.width);
  for (int i = 0; i < 33; ++i) UpdateFps();  // a clock that stood still
  EXPECT_EQ(l_fps.caption, "34089 v28");
}

TEST_F(InputTest, ScreenshotTakesTheFirstFreeNumberAndShowsTheComposition) {
  WriteFile("VnxDMScrShot0.bmp", "x");
  WriteFile("VnxDMScrShot1.bmp", "x");
  headless_client_w = 800;
  headless_client_h = 600;
  image1_visible = true;
  view_surface[0] = 0x123456;
  hud_overlay[HUD_W * HUD_H - 1] = 0xABCDEF;
  FormKeyDown(123);
  InputFrame();
  ASSERT_TRUE(FileExists("VnxDMScrShot2.bmp"));
  const std::string bmp = ReadFile("VnxDMScrShot2.bmp");
  ASSERT_EQ(bmp.size(), 54u + 800u * 600u * 3u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  // Rows are stored bottom up: the first pixel of the file is the bottom-left.
  const size_t top_left = 54 + 599u * 800u * 3u;
  EXPECT_EQ(bmp.substr(top_left, 3), "\x56\x34\x12");
  EXPECT_EQ(bmp.substr(54 + 799 * 3, 3), "\xEF\xCD\xAB");
  EXPECT_EQ(ReadFile("VnxDMScrShot0.bmp"), "x");
}

TEST_F(InputTest, ScoreboardListsOccupiedSlotsWithPingsAndTeamTotals) {
  const struct {
    uint8_t slot, state, frags, ping, team;
    const char* name;
  } rows[] = {{2, PS_SPECTATOR, 9, 0, 1, "Spec1"}, {3, PS_ALIVE, 4, 3, 1, "Ann"},  {7, PS_DEAD, 2, 1, 2, "Bob"},
              {8, PS_SPECTATOR, 9, 2, 0, "Spec2"}, {20, PS_FIRING, 5, 0, 1, "Cy"}};
  for (const auto& r : rows) {
    players[r.slot].state = r.state;
    players[r.slot].frags = r.frags;
    players[r.slot].ping = r.ping;
    players[r.slot].team = r.team;
    players[r.slot].name = r.name;
  }
  players[1].state = PS_NONE;
  view_slot = 7;
  UpdateScoreboard();
  EXPECT_EQ(l_sb_s.caption, "score \rspec\r4\r2\rspec\r5\r");
  EXPECT_EQ(l_sb_p.caption, "ping \r0\r99\r33\r66\r0\r");
  EXPECT_EQ(l_sb_n.caption, "name\r Spec1 \r Ann \r<Bob>\r Spec2 \r Cy \r");
  EXPECT_EQ(l_sb_ts.caption, "teams scores:\rSS : 0\rMU : 9\rSO : 2\rOF : 0\r");
  EXPECT_EQ(l_sb_p.left, l_sb_s.width);
  EXPECT_EQ(l_sb_n.left, l_sb_p.left + l_sb_p.width);
  EXPECT_EQ(l_sb_s.top, l_sb_stat.top + l_sb_stat.height);
  EXPECT_EQ(l_sb_ts.top, l_sb_p.top + l_sb_p.height);

  ShowScoreboard(true);
  EXPECT_TRUE(l_sb_n.visible);
  EXPECT_FALSE(l_sb_ts.visible);  // free-for-all
  team_play = 1;
  ShowScoreboard(true);
  EXPECT_TRUE(l_sb_ts.visible);
  ShowScoreboard(false);
  EXPECT_FALSE(l_sb_stat.visible);
}

}  // namespace
