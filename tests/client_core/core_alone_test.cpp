// The client core on its own: linked with every object of its library, the
// headless platform and the recording presentation below, without SDL2 or
// OpenAL. What it asks of its presentation it asks through core/presentation.h.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "client/core/client_state.h"
#include "client/core/input.h"
#include "client/core/keys.h"
#include "client/core/presentation.h"
#include "client/core/world.h"
#include "client/presentation/platform_headless.h"

namespace {

struct CueHeard {
  Cue cue;
  uint8_t slot, variant;
};

std::vector<CueHeard> cues_heard;
std::vector<std::string> calls;

}  // namespace

// The recording presentation.
void PlayCue(Cue cue, uint8_t slot, uint8_t variant) { cues_heard.push_back({cue, slot, variant}); }
void TintFlash(uint8_t dr, uint8_t dg, uint8_t db) {
  calls.push_back("tint " + std::to_string(dr) + " " + std::to_string(dg) + " " + std::to_string(db));
}
void ToggleMenu() {
  calls.push_back("toggle menu");
  menu_open = !menu_open;
}
void MenuKeys() { calls.push_back("menu keys"); }
void MenuConnect() { calls.push_back("menu connect"); }

namespace {

class ClientCore : public ::testing::Test {
 protected:
  void SetUp() override {
    HeadlessReset();
    ResetClientState();
    cues_heard.clear();
    calls.clear();
  }
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

TEST_F(ClientCore, AShotAsksForItsSoundAndAHitOnTheViewPlayerForATint) {
  view_slot = my_slot = 20;
  PlaceLiving(20, 1000, 1000, 1);
  FireEastFrom2(2);
  ASSERT_EQ(cues_heard.size(), 1u);
  EXPECT_EQ(cues_heard[0].cue, Cue::Shot);
  EXPECT_EQ(cues_heard[0].slot, 2);
  EXPECT_EQ(cues_heard[0].variant, 2);
  EXPECT_EQ(calls, std::vector<std::string>{"tint 0 30 30"});
}

TEST_F(ClientCore, AHitOnAnotherPlayerAsksForThatTeamsPainAtThatPlayer) {
  view_slot = my_slot = 20;
  PlaceLiving(7, 1000, 1000, 2);
  FireEastFrom2(5);
  ASSERT_EQ(cues_heard.size(), 2u);
  EXPECT_EQ(cues_heard[1].cue, Cue::Pain);
  EXPECT_EQ(cues_heard[1].slot, 7);
  EXPECT_EQ(cues_heard[1].variant, 2);
  EXPECT_TRUE(calls.empty());
}

TEST_F(ClientCore, EscapeGoesToTheMenuHookAndItsKeysToTheMenuWhileItIsOpen) {
  ASSERT_TRUE(menu_open);  // the game starts with its menu open
  FormKeyDown(VK_DOWN);
  AgeKeyStates();
  HandleKeys();
  EXPECT_EQ(calls, std::vector<std::string>{"menu keys"});
  FormKeyUp(VK_DOWN);

  calls.clear();
  FormKeyDown(VK_ESCAPE);
  AgeKeyStates();
  HandleKeys();
  EXPECT_EQ(calls, std::vector<std::string>{"toggle menu"});
  EXPECT_FALSE(menu_open);
}

TEST_F(ClientCore, TheViewSettlesOnTheOwnPlayerAndTheHeadingFollowsTheViewWhileAlive) {
  my_slot = 1;
  view_slot = 5;  // following slot 5, which has left
  players[1].state = PS_SPECTATOR;
  view_angle = 123.9f;
  health = 100;
  SettleView();
  EXPECT_EQ(view_slot, 1);
  EXPECT_EQ(net_angle, 123);
  health = 0;
  view_angle = 10;
  SettleView();
  EXPECT_EQ(net_angle, 123);
}

}  // namespace
