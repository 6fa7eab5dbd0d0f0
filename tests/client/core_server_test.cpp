// The client core against the real vornaxdm_server over loopback: connect,
// game information, join, predicted movement the server confirms, chat,
// a kill with its log line and announcements, the end of the round, being
// dropped at the map change and connecting again, and disconnecting.
#include "client/core/input.h"
#include "client_test.h"
#include "support/scripted_client.h"

namespace {

class ServerTest : public ClientTest {
 protected:
  void StartServer(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"-port", "0"};
    all.insert(all.end(), args.begin(), args.end());
    port_ = ::StartServer(server_, all);
    ASSERT_NE(port_, 0) << ReadFile("server.out");
  }
  void StartClient(const std::string& name) {
    StartUp();
    headless_cursor_x = mouse_anchor_x;  // the mouse stays still
    headless_cursor_y = mouse_anchor_y;
    cfg.name = name;
    ConnectFromArgument("127.0.0.1:" + std::to_string(port_));
  }
  // Client frames at the game's pace, the other player's frames beside them.
  template <typename Pred>
  bool PlayUntil(Pred pred, int max_frames) {
    for (int i = 0; i < max_frames; ++i) {
      ClientFrame();
      if (other_) other_->frame();
      if (pred()) return true;
      SleepMs(30);
    }
    return false;
  }
  void Play(int frames) {
    PlayUntil([] { return false; }, frames);
  }
  static bool Logged(const std::string& line) { return LogCount(line) > 0; }
  bool JoinGame() {
    Tap(cfg.key_specjoin);
    return PlayUntil([] { return players[my_slot].state >= PS_ALIVE; }, 200);
  }
  // Whether the server's console shows `line` after `after`.
  bool ServerShows(const std::string& line, const std::string& after = "") {
    return WaitFor(
        [&] {
          const std::string out = ReadFile("server.out");
          const size_t start = out.find(after);
          return start != std::string::npos && out.find(line, start) != std::string::npos;
        },
        3000);
  }

  ChildProcess server_;
  uint16_t port_ = 0;
  std::unique_ptr<ScriptedClient> other_;
};

// Version 29 against a server that refuses 28: the game joins with a session
// token, its numbered inputs are applied and it leaves with the token.
TEST_F(ServerTest, ConnectWithASessionTokenJoinMoveChatAndDisconnect) {
  StartServer({"-name", "CoreTest", "-legacy", "0"});
  StartClient("Tester");
  ASSERT_TRUE(PlayUntil([] { return conn_state == CS_CONNECTED && !awaiting_info; }, 300)) << ReadFile("server.out");
  EXPECT_EQ(SessionVersion(), PROTOCOL_SESSIONS);
  EXPECT_EQ(LogCount("The server speaks only protocol 28: playing without a session token"), 0);
  EXPECT_EQ(map_name, "DefMap");
  EXPECT_EQ(server_name, "CoreTest");
  EXPECT_EQ(l_sb_stat.caption.rfind("server name: CoreTest\rmap: DefMap  scorelimit: ", 0), 0u) << l_sb_stat.caption;
  EXPECT_EQ(map_grid[2][2], 'A');  // " ArA " is the built-in map's second row
  EXPECT_EQ(map_items[1].kind, '0');
  EXPECT_EQ(map_items[3].kind, '9');
  ASSERT_TRUE(PlayUntil([] { return Logged("Tester connected!"); }, 100));
  EXPECT_EQ(players[my_slot].state, PS_SPECTATOR);

  ASSERT_TRUE(JoinGame());
  ASSERT_TRUE(PlayUntil([] { return Logged("Tester has joined the game!"); }, 100));
  EXPECT_EQ(local_x, 160);  // the one spawn point, cell (2, 3)
  EXPECT_EQ(local_y, 224);
  const uint16_t applied = AppliedInputSequence();

  // Ten frames east, predicted at once; the server then reports the same
  // place, so the prediction stands. A frame whose input must wait for the
  // server's next tick takes its step back, so one step may be missing.
  view_angle = 0;
  FormKeyDown(cfg.key_forward);
  Play(10);
  FormKeyUp(cfg.key_forward);
  const uint16_t walked_to = local_x;
  EXPECT_TRUE(walked_to == 270 || walked_to == 259) << walked_to;
  EXPECT_EQ(local_y, 224);
  ASSERT_TRUE(PlayUntil([&] { return players[my_slot].x == walked_to && players[my_slot].y == 224; }, 60))
      << players[my_slot].x << "," << players[my_slot].y;
  Play(10);
  EXPECT_EQ(local_x, walked_to);
  EXPECT_GT(static_cast<uint16_t>(AppliedInputSequence() - applied), 10);

  Tap(cfg.key_chat);
  ASSERT_TRUE(chat_active);
  for (char c : std::string("hello there")) {
    FormKeyPress(static_cast<uint8_t>(c));
    Play(1);
  }
  Tap(13);
  ASSERT_TRUE(PlayUntil([] { return Logged("Tester: hello there"); }, 100));

  // The menu's Disconnect.
  conn_state = CS_IDLE;
  SendDisconnect();
  EXPECT_TRUE(ServerShows("Tester disconnected!")) << ReadFile("server.out");
}

TEST_F(ServerTest, KillEndsTheRoundAndTheMapChangeDropsAndReconnects) {
  StartServer({"-score", "2"});
  other_ = std::make_unique<ScriptedClient>("Victim", 0, port_, ScriptedClient::kStand);
  StartClient("Tester");
  ASSERT_TRUE(PlayUntil([] { return conn_state == CS_CONNECTED && !awaiting_info; }, 300));
  ASSERT_TRUE(JoinGame());
  // Both stand on the one spawn point: every shot hits.
  ASSERT_TRUE(PlayUntil([&] { return other_->player(other_->slot()).state >= PS_ALIVE; }, 300));

  Image2MouseDown(1);  // hold fire
  ASSERT_TRUE(PlayUntil([] { return Logged("Tester > pistol > Victim"); }, 400)) << ReadFile("server.out");
  EXPECT_EQ(l_anon.caption, "You fragged Victim!");
  EXPECT_GT(announce_timer, 0);
  // The victim comes back to the same spot; with the pistol's bullets spent
  // on the first life, the knife takes the second frag, which wins the round.
  Tap(cfg.key_gun[1]);
  ASSERT_TRUE(PlayUntil([] { return Logged("Tester WINS!"); }, 600)) << ReadFile("server.out");
  Image2MouseUp(1);
  EXPECT_TRUE(Logged("Tester > knife > Victim"));
  EXPECT_EQ(l_anon.caption, "Tester WINS!");
  ASSERT_TRUE(PlayUntil([] { return restart_countdown > 0; }, 100));
  EXPECT_EQ(l_sb_stat.caption.rfind("Scorelimit hit! Server restart: ", 0), 0u) << l_sb_stat.caption;

  // About 15 seconds later the next map removes everybody; the client is
  // told it is not connected, connects again and, since its player was in
  // the game, joins again by itself.
  bool dropped = false;
  ASSERT_TRUE(PlayUntil(
      [&] {
        dropped = dropped || conn_state == CS_CONNECTING;
        return dropped && conn_state == CS_CONNECTED && !awaiting_info;
      },
      800));
  EXPECT_EQ(LogCount("Connected!"), 2);
  EXPECT_EQ(restart_countdown, 0);
  ASSERT_TRUE(PlayUntil([] { return players[my_slot].state >= PS_ALIVE; }, 200)) << ReadFile("server.out");
  EXPECT_TRUE(PlayUntil([] { return LogCount("Tester has joined the game!") == 2; }, 200));
  // Only a newcomer is told which key joins.
  EXPECT_EQ(LogCount("You are watching. Press G to join the game."), 1);

  Shutdown();
  EXPECT_TRUE(ServerShows("Tester disconnected!", "Tester WINS!")) << ReadFile("server.out");
}

TEST_F(ServerTest, AServerThatDiesIsNoticedAndARestartedOneIsJoinedAgain) {
  StartServer({"-name", "First"});
  StartClient("Tester");
  ASSERT_TRUE(PlayUntil([] { return conn_state == CS_CONNECTED && !awaiting_info; }, 300));
  ASSERT_TRUE(JoinGame());

  server_.stop();
  ASSERT_TRUE(PlayUntil([] { return conn_state == CS_CONNECTING; }, 400));
  EXPECT_EQ(LogCount("Connection lost: nothing from 127.0.0.1:" + std::to_string(port_) +
                     " for 3 seconds, connecting again..."),
            1);
  EXPECT_NE(ReadFile("outlog.txt").find("Connection lost"), std::string::npos);

  // The same port again; the client finds it by itself and goes back in.
  const uint16_t old_port = port_;
  port_ = ::StartServer(server_, {"-port", std::to_string(old_port), "-name", "Second"});
  if (port_ != old_port) GTEST_SKIP() << "another program took port " << old_port << " meanwhile";
  ASSERT_TRUE(PlayUntil([] { return conn_state == CS_CONNECTED && !awaiting_info; }, 400));
  EXPECT_EQ(server_name, "Second");
  ASSERT_TRUE(PlayUntil([] { return players[my_slot].state >= PS_ALIVE; }, 300)) << ReadFile("server.out");
}

}  // namespace
