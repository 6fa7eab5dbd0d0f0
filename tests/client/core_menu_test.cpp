// The menu model driven by key presses frame by frame, as a player uses it,
// and what the menu's labels then show.
#include <AL/al.h>


#include "client/core/config.h"
#include "client/core/keys.h"
#include "client/presentation/audio.h"
#include "client_test.h"

namespace {

constexpr uint8_t UP = VK_UP, DOWN = VK_DOWN, LEFT = VK_LEFT, RIGHT = VK_RIGHT, ENTER = VK_RETURN, ESCAPE = VK_ESCAPE;

// Item(l_mval, 6) is the value of item 6.
std::string Item(const Label& label, size_t item) { return CaptionLines(label).at(item); }

class Menu : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    WriteFile("sounds/snd_mmove.wav", WavBytes(1, 8000, 8, Bytes(2000, 128)));
    StartUp();
  }
  void TearDown() override {
    CloseAudio();
    ClientTest::TearDown();
  }
  // Whether the menu click started since the last call.
  bool Clicked() {
    ALint state = 0, buffer = 0;
    alGetSourcei(sound_sources[0], AL_SOURCE_STATE, &state);
    alGetSourcei(sound_sources[0], AL_BUFFER, &buffer);
    alSourceStop(sound_sources[0]);
    alSourcei(sound_sources[0], AL_BUFFER, 0);
    return state == AL_PLAYING && static_cast<uint32_t>(buffer) == snd_mmove;
  }
  void Select(uint8_t item) {
    menu_item = item;
    MenuChanged();
  }
  // Types into the selected item: one key press a frame.
  void Type(const std::string& text) {
    for (char c : text) Tap(static_cast<uint8_t>(c >= 'a' && c <= 'z' ? c - 32 : c), static_cast<uint8_t>(c));
  }
};

TEST_F(Menu, StartsOnTheTitleWithQuitSelectedAndTheSettingsShown) {
  EXPECT_TRUE(menu_open);
  EXPECT_EQ(menu_item, 0);
  const auto names = CaptionLines(l_mvar), values = CaptionLines(l_mval);
  ASSERT_EQ(names.size(), 22u);
  ASSERT_EQ(values.size(), 22u);
  EXPECT_EQ(names[0], "+Quit game");
  EXPECT_EQ(names[1], " Connect");
  EXPECT_EQ(names[20], " Screen shot");
  EXPECT_EQ(names[21], " Server list");
  EXPECT_EQ(values[21], " ");
  EXPECT_EQ(values[0], "+");
  EXPECT_EQ(values[2], "127.0.0.1 ");
  EXPECT_EQ(values[3], "10666 ");
  EXPECT_EQ(values[4], "VornaxPlayer ");
  EXPECT_EQ(values[5], "SS ");
  EXPECT_EQ(values[6], "100 ");
  EXPECT_EQ(values[8], "W ");
  EXPECT_EQ(values[20], "f12 ");
}

TEST_F(Menu, ArrowsMoveAndChangeValuesWithinTheirLimitsClickingEvenAtTheEnds) {
  Tap(UP);
  EXPECT_EQ(menu_item, 0);
  EXPECT_TRUE(Clicked());
  Tap(DOWN);
  EXPECT_EQ(menu_item, 1);
  EXPECT_TRUE(Clicked());
  EXPECT_EQ(Item(l_mvar, 1), "+Connect");
  Select(20);
  Tap(DOWN);
  EXPECT_EQ(menu_item, 21);
  EXPECT_TRUE(Clicked());
  Tap(DOWN);
  EXPECT_EQ(menu_item, 21);
  EXPECT_TRUE(Clicked());

  Select(6);
  cfg.sv = 100;
  Tap(RIGHT);
  EXPECT_EQ(cfg.sv, 100);
  EXPECT_FLOAT_EQ(cfg.volume_factor, 0.5f);
  Select(7);
  cfg.ms = 0;
  Tap(LEFT);
  EXPECT_EQ(cfg.ms, 0);
  Tap(RIGHT);
  EXPECT_EQ(cfg.ms, 1);
  EXPECT_FLOAT_EQ(cfg.mouse_factor, 1 / 200.0f);
  Select(5);
  Tap(LEFT);
  EXPECT_EQ(cfg.team, 0);
  for (int i = 0; i < 5; ++i) Tap(RIGHT);
  EXPECT_EQ(cfg.team, 3);
  EXPECT_EQ(Item(l_mval, 5), "Officer+");
  Tap(LEFT);
  EXPECT_EQ(Item(l_mval, 5), "Soldat+");
}

// A held Down moves in the press frame, then every frame from the 14th after
// it; a held Left on the volume from the 9th, clicking only once.
TEST_F(Menu, HeldKeysRepeatDownFromTheFourteenthFrameLeftOnVolumeFromTheNinthClickingOnce) {
  Press(DOWN);
  std::vector<int> items;
  for (int frame = 0; frame < 18; ++frame) {
    ClientFrame();
    items.push_back(menu_item);
  }
  EXPECT_EQ(items, (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 3, 4, 5}));
  FormKeyUp(DOWN);
  ClientFrame();
  EXPECT_EQ(menu_item, 5);

  Select(6);
  Clicked();
  cfg.sv = 50;
  Press(LEFT);
  std::vector<int> volumes;
  std::vector<bool> clicks;
  for (int frame = 0; frame < 12; ++frame) {
    ClientFrame();
    volumes.push_back(cfg.sv);
    clicks.push_back(Clicked());
  }
  EXPECT_EQ(volumes, (std::vector<int>{49, 49, 49, 49, 49, 49, 49, 49, 49, 48, 47, 46}));
  EXPECT_EQ(clicks, (std::vector<bool>{true, false, false, false, false, false, false, false, false, false, false,
                                       false}));
  ALfloat gain = 0;
  alGetSourcef(sound_sources[9], AL_GAIN, &gain);
  EXPECT_FLOAT_EQ(gain, 46 / 200.0f);
  EXPECT_EQ(Item(l_mval, 6), "46+");
}

TEST_F(Menu, EscapeTogglesItConnectClosesItAndDisconnectKeepsItOpen) {
  Tap(ESCAPE);
  EXPECT_FALSE(menu_open);
  EXPECT_TRUE(image1_visible);
  EXPECT_FALSE(l_mcpt.visible);
  EXPECT_TRUE(l_log.visible);
  Tap(ESCAPE);
  EXPECT_TRUE(menu_open);
  EXPECT_FALSE(image1_visible);
  EXPECT_TRUE(cursor_visible);
  EXPECT_TRUE(l_mcpt.visible);
  EXPECT_TRUE(l_mval.visible);
  EXPECT_FALSE(l_log.visible);
  EXPECT_FALSE(l_sb_n.visible);

  cfg.server_address = "010.0.0.300";
  Select(1);
  log_ack = 9;
  Tap(ENTER);
  EXPECT_EQ(conn_state, CS_CONNECTING);
  EXPECT_EQ(cfg.server_address, "10.0.0.44");
  EXPECT_TRUE(awaiting_info);
  EXPECT_EQ(log_ack, 0);
  EXPECT_FALSE(menu_open);
  EXPECT_FALSE(cursor_visible);
  EXPECT_FALSE(l_mvar.visible);
  EXPECT_TRUE(l_sb_stat.visible);

  Tap(ESCAPE);  // back into the menu: no title while connected
  EXPECT_TRUE(menu_open);
  EXPECT_FALSE(l_mcpt.visible);
  EXPECT_TRUE(l_log.visible);
  EXPECT_EQ(Item(l_mvar, 1), "+Disconnect");
  Tap(ENTER);
  EXPECT_EQ(conn_state, CS_IDLE);
  EXPECT_TRUE(menu_open);
  EXPECT_EQ(LogCount("Disconnected!"), 1);
  EXPECT_EQ(Item(l_mvar, 1), "+Connect");

  Select(0);
  cfg.server_address = "127.0.0.1";
  Connect();  // as the command line does it: the menu offers Disconnect
  Tap(ESCAPE);
  EXPECT_EQ(Item(l_mvar, 1), " Disconnect");
}

TEST_F(Menu, TextItemsTakeTheirCharactersUpToTheirLength) {
  Select(2);  // the server address: digits and dots, 15 at most, only while idle
  cfg.server_address = "1.2";
  Type(".3x.4");
  EXPECT_EQ(cfg.server_address, "1.2.3.4");
  Type("\b");
  EXPECT_EQ(cfg.server_address, "1.2.3.");
  Type("4567890123456");
  EXPECT_EQ(cfg.server_address.size(), 15u);
  EXPECT_EQ(Item(l_mval, 2), cfg.server_address + "+");
  conn_state = CS_CONNECTED;
  const std::string before = cfg.server_address;
  Type("\b9");
  EXPECT_EQ(cfg.server_address, before);
  conn_state = CS_IDLE;

  Select(3);  // the port, edited as its decimal text
  Type("\b\b\b\b\b");
  EXPECT_EQ(cfg.server_port, 0);
  Type("35700\b");
  EXPECT_EQ(cfg.server_port, 3570);
  Type("91");  // a sixth digit is refused
  EXPECT_EQ(cfg.server_port, 35709);
  Type("\b\b\b\b\b99999");  // keeps its low 16 bits
  EXPECT_EQ(cfg.server_port, 99999 & 0xFFFF);

  Select(4);  // the name: name characters, 24 at most, also while connected
  cfg.name.clear();
  Type("\bAb!c$ d");
  EXPECT_EQ(cfg.name, "Abc d");
  cfg.name = std::string(23, 'x');
  Type("yz");  // the 25th character is refused
  EXPECT_EQ(cfg.name, std::string(23, 'x') + "y");
  conn_state = CS_CONNECTED;
  Type("\b");
  EXPECT_EQ(cfg.name, std::string(23, 'x'));
}

TEST_F(Menu, BindingItemsTakeTheNextKeyButNotUpDownOrEscape) {
  Select(8);
  Tap('K');
  EXPECT_EQ(cfg.key_forward, 'K');
  EXPECT_EQ(Item(l_mval, 8), "K+");
  Select(17);
  Tap(ENTER);  // Enter binds too
  EXPECT_EQ(cfg.key_gun[3], ENTER);
  Tap(LEFT);
  EXPECT_EQ(cfg.key_gun[3], LEFT);
  Tap(UP);  // Up moves instead of binding
  EXPECT_EQ(menu_item, 16);
  EXPECT_EQ(cfg.key_gun[2], 50);
  Select(20);
  Tap(ESCAPE);  // Escape closes the menu instead of binding
  EXPECT_FALSE(menu_open);
  EXPECT_EQ(cfg.key_screenshot, 123);
}

}  // namespace
