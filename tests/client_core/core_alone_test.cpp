// The client core on its own: linked with every object of its library, the
// headless platform and the recording presentation below, without SDL2 or
// OpenAL. What it tells its presentation goes through the hooks of
// core/presentation.h; the frame's core steps run here in the frame's order.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "client/core/client_state.h"
#include "client/core/connection.h"
#include "client/core/frame_steps.h"
#include "client/core/input.h"
#include "client/core/keys.h"
#include "client/core/labels.h"
#include "client/core/menu_model.h"
#include "client/core/presentation.h"
#include "client/core/session.h"
#include "client/core/timers.h"
#include "client/core/world.h"
#include "client/presentation/platform_headless.h"
#include "support/process.h"
#include "support/scripted_client.h"

namespace {

struct CueHeard {
  Cue cue;
  uint8_t slot, variant;
};

std::vector<CueHeard> cues_heard;
std::vector<std::string> calls;

// The recording presentation.
void RecordCue(Cue cue, uint8_t slot, uint8_t variant) { cues_heard.push_back({cue, slot, variant}); }
void RecordTint(uint8_t dr, uint8_t dg, uint8_t db) {
  calls.push_back("tint " + std::to_string(dr) + " " + std::to_string(dg) + " " + std::to_string(db));
}
void RecordMenuChange() { calls.push_back("menu changed"); }

bool Heard(Cue cue, uint8_t slot) {
  for (const CueHeard& c : cues_heard)
    if (c.cue == cue && c.slot == slot) return true;
  return false;
}

// The core's steps of a frame, as client/frame runs them, without drawing.
void CoreFrame() {
  CoreFrameStart();
  CoreFrameEnd();
}

class ClientCore : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessReset();
    ResetClientState();
    ResetMenu();
    SetPresentationHooks({RecordCue, RecordTint, RecordMenuChange});
    cues_heard.clear();
    calls.clear();
  }
  void TearDown() override { CloseNetwork(); }
  // A living player as the previous snapshot left it.
  static void PlaceLiving(uint8_t slot, uint16_t x, uint16_t y, uint8_t team) {
    players[slot].x = x;
    players[slot].y = y;
    players[slot].team = team;
    players[slot].state = players[slot].prev_state = PS_ALIVE;
  }
  // A snapshot entry of slot 2 firing east from 200 units west of (1000, 1000).
  static void FireEastFrom2(uint8_t gun) {
    PlaceLiving(2, 800, 1000, 0);
    players[2].state = PS_FIRING;
    players[2].gun = gun;
    players[2].dir = 0;
    ApplyPlayerUpdate(2);
  }
  // One frame with the key down, then up again.
  static void TapKey(uint8_t key) {
    FormKeyDown(key);
    CoreFrame();
    FormKeyUp(key);
  }
};

TEST(ClientCoreSources, IncludeNothingFromPresentationFrameSdlOrOpenAl) {
  const std::filesystem::path core = std::filesystem::path(VORNAX_SOURCE_DIR) / "client" / "core";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(core)) {
    ++files;
    std::ifstream in(entry.path());
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      if (line.rfind("#include", 0) != 0) continue;
      for (const char* banned : {"client/presentation/", "client/frame/", "<SDL", "<AL/"})
        EXPECT_EQ(line.find(banned), std::string::npos) << entry.path().string() << ":" << number << ": " << line;
    }
  }
  EXPECT_GT(files, 10);
}

// The presentation draws and plays; the state it reads is the core's. An
// assignment, increment or decrement of a core global, or of an element or
// field of one, is what a simple look at the presentation's sources can see.
// The renderer's and the HUD's own output surfaces are theirs to write.
TEST(ClientCoreSources, PresentationWritesNoCoreState) {
  const std::string globals =
      "cfg|conn_state|awaiting_info|my_slot|view_slot|local_x|local_y|view_angle|net_angle|action(?!\\.)|health|armor|"
      "ammo|server_tick|restart_countdown|log_ack|server_name|map_name|score_limit|max_players|team_play|players|"
      "key_state|last_char|last_key|chat_active|chat_line|mouse_anchor_x|mouse_anchor_y|menu_open|log_lines|"
      "log_scroll|log_rows|announce_timer|frame_counter|anim_tick|image1_visible|cursor_visible|menu_item|"
      "server_list_open|server_list_item|server_list_problem|map_text|map_grid|decorations|map_items|effects|"
      "ceiling_colour|floor_colour|history_x|history_y";
  const std::regex write("(^|[^\\w.>])(" + globals + ")(\\[[^\\]]*\\]|\\.\\w+)*\\s*([-+*/%|&^]?=[^=]|\\+\\+|--)|" +
                         "(\\+\\+|--)\\s*(" + globals + ")\\b");
  const std::filesystem::path presentation = std::filesystem::path(VORNAX_SOURCE_DIR) / "client" / "presentation";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(presentation)) {
    if (entry.path().extension() != ".cpp") continue;
    ++files;
    std::ifstream in(entry.path());
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      const std::string code = line.substr(0, line.find("//"));
      EXPECT_FALSE(std::regex_search(code, write)) << entry.path().string() << ":" << number << ": " << line;
    }
  }
  EXPECT_GT(files, 5);
}

TEST_F(ClientCore, AShotAsksForItsSoundAndAHitOnTheViewPlayerForATint) {
  view_slot = my_slot = 20;
  PlaceLiving(20, 1000, 1000, 1);
  FireEastFrom2(2);
  ASSERT_EQ(cues_heard.size(), 1u);
  EXPECT_EQ(cues_heard[0].cue, Cue::Shot);
  EXPECT_EQ(cues_heard[0].slot, 2);
  EXPECT_EQ(cues_heard[0].variant, 2);
  EXPECT_EQ(calls, std::vector<std::string>{"tint 0 30 30"});
  // The next shot of that player is traced once the core's own frames have
  // counted the pistol's reload down.
  cues_heard.clear();
  for (int frame = 0; frame < WEAPONS[2].reload; ++frame) {
    EXPECT_EQ(players[2].shot_timer, WEAPONS[2].reload - frame);
    AdvanceFrameTimers();
  }
  ApplyPlayerUpdate(2);
  EXPECT_TRUE(Heard(Cue::Shot, 2));
}

TEST_F(ClientCore, FrameTimersCountDownKeepTheSlotInRangeAndShowTheAnnouncement) {
  players[7].state = PS_ALIVE;
  players[7].fire_pose = 2;
  AdvanceFrameTimers();
  EXPECT_EQ(players[7].fire_pose, 1);
  my_slot = 0;
  AdvanceFrameTimers();
  EXPECT_EQ(my_slot, 1);
  EXPECT_EQ(players[7].fire_pose, 0);
  my_slot = 30;
  AdvanceFrameTimers();
  EXPECT_EQ(my_slot, 24);

  announce_timer = 2;
  menu_open = false;
  AdvanceFrameTimers();
  EXPECT_TRUE(l_anon.visible);
  menu_open = true;
  AdvanceFrameTimers();
  EXPECT_FALSE(l_anon.visible);
  EXPECT_EQ(announce_timer, 0);
}

TEST_F(ClientCore, TheMenuIsTheCoresItsChangesAreToldAndEscapeClosesIt) {
  ASSERT_TRUE(menu_open);  // the game starts with its menu open
  TapKey(VK_DOWN);
  EXPECT_EQ(menu_item, MENU_CONNECT);
  EXPECT_EQ(calls, std::vector<std::string>{"menu changed"});
  EXPECT_TRUE(Heard(Cue::MenuMove, 0));
  EXPECT_EQ(MenuItemText(MENU_FIRST_GUN_KEY + 1), "Pistol");
  EXPECT_EQ(MenuItemValue(MENU_PLAYER_TEAM), "SS");

  TapKey(VK_ESCAPE);
  EXPECT_FALSE(menu_open);
  EXPECT_FALSE(cursor_visible);
}

// The real server on loopback and a scripted player standing on the one
// spawn point beside ours: connect as the menu does, join, hold fire.
TEST_F(ClientCore, ConnectsToTheRealServerJoinsAndFires) {
  TempDir dir(true);
  ChildProcess server;
  const uint16_t port = StartServer(server, {"-port", "0"});
  ASSERT_NE(port, 0) << ReadFile("server.out");
  ScriptedClient victim("Victim", 0, port, ScriptedClient::kStand);
  ASSERT_TRUE(InitNetwork());
  cfg.name = "Tester";
  cfg.server_address = "127.000.000.001";
  cfg.server_port = port;
  Connect();
  EXPECT_EQ(cfg.server_address, "127.0.0.1");
  EXPECT_FALSE(menu_open);
  const auto frames_until = [&](const std::function<bool()>& done) {
    return PlayUntil(10000, {&victim}, [&] {
      CoreFrame();
      return done();
    });
  };
  ASSERT_TRUE(frames_until([] { return conn_state == CS_CONNECTED && !awaiting_info; })) << ReadFile("server.out");
  FormKeyDown(cfg.key_specjoin);
  ASSERT_TRUE(frames_until([] { return players[my_slot].state >= PS_ALIVE; }));
  FormKeyUp(cfg.key_specjoin);
  ASSERT_TRUE(frames_until([&] { return victim.connected() && players[victim.slot()].state >= PS_ALIVE; }));

  Image2MouseDown(1);  // hold fire
  ASSERT_TRUE(frames_until([&] { return Heard(Cue::Shot, my_slot) && Heard(Cue::Pain, victim.slot()); }))
      << ReadFile("server.out");
  Image2MouseUp(1);
}

}  // namespace
