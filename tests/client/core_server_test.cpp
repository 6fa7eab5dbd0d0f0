// The client core against the real vornaxdm_server over loopback: connect,
// game information, join, predicted movement the server confirms, chat,
// a kill with its log line and announcements, the end of the round, being
// dropped at the map change and connecting again, and disconnecting.
#include <regex>

#include "client/core/client_state.h"
#include "client/core/input.h"
#include "client/core/labels.h"
#include "client/core/session.h"
#include "client/presentation/platform_headless.h"
#include "core_test_env.h"

namespace {

// A second player without a window: connects, joins once and then stands
// still, so the client under test has somebody to shoot; when killed it
// asks to respawn.
class StandingPlayer {
 public:
  StandingPlayer(std::string name, uint16_t server_port) : name_(std::move(name)), server_port_(server_port) {}
  void Frame() {
    for (const std::string& d : peer_.Drain()) {
      if (d.size() < 6 || d[0] != 'n') continue;
      ++snapshots_;
      health_ = static_cast<uint8_t>(d[d.size() - 5]);  // the private tail: slot, health, ...
    }
    if (snapshots_ == 0) {
      if (frame_++ % 33 == 0) peer_.SendTo(server_port_, Datagram().byte('f').byte(28).str(name_).byte(0).bytes());
      return;
    }
    // Join once; then only keep the slot alive. A wanted position of (0, 0)
    // is too far for a step, so it never moves.
    uint8_t act = ACT_NONE;
    if (!joined_ && snapshots_ > 5) {
      act = ACT_SPECJOIN;
      joined_ = true;
    } else if (joined_ && health_ == 0) {
      act = ACT_FIRE;
    }
    peer_.SendTo(server_port_, Datagram().byte('h').word(0).word(0).byte(act).word(0).word(0).word(0).bytes());
  }

 private:
  std::string name_;
  uint16_t server_port_;
  FakePeer peer_;
  int snapshots_ = 0;
  int frame_ = 0;
  bool joined_ = false;
  uint8_t health_ = 0;
};

class ServerTest : public CoreTest {
 protected:
  void StartServer(std::vector<std::string> args) {
    if (!FileExists(ChildProgram::PathOf("vornaxdm_server"))) GTEST_SKIP() << "vornaxdm_server is not built";
    args.insert(args.begin(), {"-port", std::to_string(46000 + ::getpid() % 2000)});
    ASSERT_TRUE(server_.Start("vornaxdm_server", args, "server.out"));
    const std::regex bound("UDP initialized! UDP port: ([0-9]+)");
    for (int i = 0; i < 300 && port_ == 0; ++i) {
      std::smatch m;
      const std::string out = ReadFile("server.out");
      if (std::regex_search(out, m, bound)) port_ = static_cast<uint16_t>(std::stoi(m[1]));
      SleepMs(10);
    }
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
      if (other_) other_->Frame();
      if (pred()) return true;
      SleepMs(30);
    }
    return false;
  }
  void Play(int frames) {
    PlayUntil([] { return false; }, frames);
  }
  static bool Logged(const std::string& line) {
    return std::find(log_lines.begin(), log_lines.end(), line) != log_lines.end();
  }
  static int Logged(const std::string& line, int) {
    return static_cast<int>(std::count(log_lines.begin(), log_lines.end(), line));
  }
  void Tap(uint8_t key) {
    FormKeyDown(key);
    FormKeyUp(key);
  }
  bool JoinGame() {
    Tap(cfg.key_specjoin);
    return PlayUntil([] { return players[my_slot].state >= PS_ALIVE; }, 200);
  }
  uint8_t SlotNamed(const std::string& name) const {
    for (uint8_t s = 1; s <= MAX_SLOTS; ++s) {
      if (players[s].name == name) return s;
    }
    return 0;
  }

  ChildProgram server_;
  uint16_t port_ = 0;
  std::unique_ptr<StandingPlayer> other_;
};

TEST_F(ServerTest, ConnectJoinMoveChatAndDisconnect) {
  StartServer({"-name", "CoreTest"});
  StartClient("Tester");
  ASSERT_TRUE(PlayUntil([] { return conn_state == CS_CONNECTED && !awaiting_info; }, 300)) << ReadFile("server.out");
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

  // Ten frames east, predicted at once; the server then reports the same
  // place, so the prediction stands. The walk starts just after the server
  // renewed the input allowance (35 messages per 33 ticks), so a client
  // clock a little faster than the server's cannot lose a step.
  view_angle = 0;
  ASSERT_TRUE(PlayUntil([] { return server_tick % 33 == 1; }, 100));
  FormKeyDown(cfg.key_forward);
  Play(10);
  FormKeyUp(cfg.key_forward);
  EXPECT_EQ(local_x, 270);
  EXPECT_EQ(local_y, 224);
  ASSERT_TRUE(PlayUntil([] { return players[my_slot].x == 270 && players[my_slot].y == 224; }, 60))
      << players[my_slot].x << "," << players[my_slot].y;
  Play(10);
  EXPECT_EQ(local_x, 270);

  Tap(cfg.key_chat);
  Play(1);
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
  bool gone = false;
  for (int i = 0; i < 100 && !gone; ++i) {
    gone = ReadFile("server.out").find("Tester disconnected!") != std::string::npos;
    SleepMs(30);
  }
  EXPECT_TRUE(gone) << ReadFile("server.out");
}

TEST_F(ServerTest, KillEndsTheRoundAndTheMapChangeDropsAndReconnects) {
  StartServer({"-score", "2"});
  other_ = std::make_unique<StandingPlayer>("Victim", port_);
  StartClient("Tester");
  ASSERT_TRUE(PlayUntil([] { return conn_state == CS_CONNECTED && !awaiting_info; }, 300));
  ASSERT_TRUE(JoinGame());
  // Both stand on the one spawn point: every shot hits.
  ASSERT_TRUE(PlayUntil([&] { return SlotNamed("Victim") && players[SlotNamed("Victim")].state >= PS_ALIVE; }, 300));

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
  // told it is not connected and connects again.
  bool dropped = false;
  ASSERT_TRUE(PlayUntil(
      [&] {
        dropped = dropped || conn_state == CS_CONNECTING;
        return dropped && conn_state == CS_CONNECTED && !awaiting_info;
      },
      800));
  EXPECT_EQ(Logged("Connected!", 0), 2);
  EXPECT_EQ(restart_countdown, 0);
  EXPECT_EQ(players[my_slot].state, PS_SPECTATOR);

  Shutdown();
  bool gone = false;
  for (int i = 0; i < 100 && !gone; ++i) {
    gone = ReadFile("server.out").rfind("Tester disconnected!") > ReadFile("server.out").find("Tester WINS!");
    SleepMs(30);
  }
  EXPECT_TRUE(gone) << ReadFile("server.out");
}

}  // namespace
