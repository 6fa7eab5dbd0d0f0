// The menu driven by key presses frame by frame, as a player uses it.
#include <AL/al.h>
#include <gtest/gtest.h>

#include "client/core/client_state.h"
#include "client/core/config.h"
#include "client/core/labels.h"
#include "client/core/platform.h"
#include "client/presentation/audio.h"
#include "client/presentation/hud.h"
#include "client/presentation/menu.h"
#include "present_menu_driver.h"
#include "present_test_util.h"

using namespace present_test;

namespace {

constexpr uint8_t UP = 38, DOWN = 40, LEFT = 37, RIGHT = 39, ENTER = 13, ESCAPE = 27, BACKSPACE = 8;

std::vector<std::string> Lines(const std::string& caption) {
  std::vector<std::string> out(1);
  for (char c : caption) {
    if (c == 13)
      out.emplace_back();
    else
      out.back() += c;
  }
  return out;
}

class Menu : public ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    std::vector<uint8_t> click(2000, 128);
    WriteFile("sounds/snd_mmove.wav", WavBytes(1, 8000, 8, click));
    StartMenu();
  }
  void TearDown() override {
    CloseAudio();
    ScratchDir::TearDown();
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
    DrawMenu();
  }
  // Types a character into the selected item: one key press, one frame.
  void Type(char c) {
    Press(static_cast<uint8_t>(c >= 'a' && c <= 'z' ? c - 32 : c), static_cast<uint8_t>(c));
    Frame();
    Release(static_cast<uint8_t>(c >= 'a' && c <= 'z' ? c - 32 : c));
  }
  void TypeText(const std::string& text) {
    for (char c : text) Type(c);
  }
};

TEST_F(Menu, StartsOnTheTitleWithQuitSelected) {
  EXPECT_TRUE(menu_open);
  EXPECT_EQ(menu_item, 0);
  const auto names = Lines(l_mvar.caption), values = Lines(l_mval.caption);
  ASSERT_EQ(names.size(), 21u);
  ASSERT_EQ(values.size(), 21u);
  EXPECT_EQ(names[0], "+Quit game");
  EXPECT_EQ(names[1], " Connect");
  EXPECT_EQ(names[17], " MP-40");
  EXPECT_EQ(names[20], " Screen shot");
  EXPECT_EQ(values[0], "+");
  EXPECT_EQ(values[1], " ");
  EXPECT_EQ(values[2], "127.0.0.1 ");
  EXPECT_EQ(values[3], "10666 ");
  EXPECT_EQ(values[4], "VornaxPlayer ");
  EXPECT_EQ(values[5], "SS ");
  EXPECT_EQ(values[6], "100 ");
  EXPECT_EQ(values[8], key_names[87] + " ");
  EXPECT_EQ(values[20], key_names[123] + " ");
  int cw, ch;
  PlatformClientSize(cw, ch);
  EXPECT_EQ(l_mvar.left, cw / 2 - (l_mvar.width + l_mval.width) / 2);
  EXPECT_EQ(l_mval.left, l_mvar.left + l_mvar.width);
}

TEST_F(Menu, UpAndDownMoveTheSelectionAndClickEvenAtTheEnds) {
  Tap(UP);
  EXPECT_EQ(menu_item, 0);
  EXPECT_TRUE(Clicked());
  Tap(DOWN);
  EXPECT_EQ(menu_item, 1);
  EXPECT_TRUE(Clicked());
  EXPECT_EQ(Lines(l_mvar.caption)[1], "+Connect");
  EXPECT_EQ(Lines(l_mval.caption)[1], "+");
  Select(20);
  Tap(DOWN);
  EXPECT_EQ(menu_item, 20);
  EXPECT_TRUE(Clicked());
}

TEST_F(Menu, HeldDownRepeatsFromTheFourteenthFrameAfterThePress) {
  Press(DOWN);
  std::vector<int> items;
  for (int frame = 0; frame < 18; ++frame) {
    Frame();
    items.push_back(menu_item);
  }
  // Moves in the press frame, then every frame from the 14th after it.
  EXPECT_EQ(items, (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 3, 4, 5}));
  Release(DOWN);
  Frame();
  EXPECT_EQ(menu_item, 5);
}

TEST_F(Menu, HeldLeftOnVolumeRepeatsFromTheNinthFrameAndClicksOnlyOnce) {
  Select(6);
  cfg.sv = 50;
  Press(LEFT);
  std::vector<int> volumes;
  std::vector<bool> clicks;
  for (int frame = 0; frame < 12; ++frame) {
    Frame();
    volumes.push_back(cfg.sv);
    clicks.push_back(Clicked());
  }
  EXPECT_EQ(volumes, (std::vector<int>{49, 49, 49, 49, 49, 49, 49, 49, 49, 48, 47, 46}));
  EXPECT_EQ(clicks, (std::vector<bool>{true, false, false, false, false, false, false, false, false, false, false,
                                       false}));
  EXPECT_FLOAT_EQ(cfg.volume_factor, 46 / 200.0f);
  ALfloat gain = 0;
  alGetSourcef(sound_sources[9], AL_GAIN, &gain);
  EXPECT_FLOAT_EQ(gain, 46 / 200.0f);
  EXPECT_EQ(Lines(l_mval.caption)[6], "46+");
}

TEST_F(Menu, ValuesStopAtTheirLimits) {
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
  EXPECT_EQ(Lines(l_mval.caption)[5], "Officer+");
  Tap(LEFT);
  EXPECT_EQ(Lines(l_mval.caption)[5], "Soldat+");
}

TEST_F(Menu, ConnectClosesTheMenuAndDisconnectKeepsItOpen) {
  cfg.server_address = "010.0.0.300";
  Select(1);
  log_ack = 9;
  Tap(ENTER);
  EXPECT_EQ(conn_state, CS_CONNECTING);
  EXPECT_EQ(cfg.server_address, "10.0.0.44");
  EXPECT_TRUE(awaiting_info);
  EXPECT_EQ(log_ack, 0);
  EXPECT_FALSE(menu_open);
  EXPECT_TRUE(image1_visible);
  EXPECT_FALSE(cursor_visible);
  EXPECT_FALSE(l_mvar.visible);
  EXPECT_TRUE(l_log.visible);
  EXPECT_TRUE(l_sb_stat.visible);

  Tap(ESCAPE);  // back into the menu: no title while connected
  EXPECT_TRUE(menu_open);
  EXPECT_FALSE(l_mcpt.visible);
  EXPECT_TRUE(l_mvar.visible);
  EXPECT_TRUE(l_log.visible);
  EXPECT_EQ(Lines(l_mvar.caption)[1], "+Disconnect");

  Tap(ENTER);
  EXPECT_EQ(conn_state, CS_IDLE);
  EXPECT_TRUE(menu_open);
  EXPECT_EQ(CountLines("Disconnected!"), 1);
  EXPECT_EQ(Lines(l_mvar.caption)[1], "+Connect");
}

TEST_F(Menu, ConnectingFromTheCommandLineShowsDisconnectInTheMenu) {
  cfg.server_address = "127.0.0.1";
  MenuConnect();
  EXPECT_EQ(conn_state, CS_CONNECTING);
  EXPECT_FALSE(menu_open);
  Tap(ESCAPE);
  EXPECT_EQ(Lines(l_mvar.caption)[1], " Disconnect");
}

TEST_F(Menu, EscapeTogglesTheMenuAndWhatIsShown) {
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
}

TEST_F(Menu, ServerAddressTakesDigitsAndDotsOnlyWhileIdle) {
  Select(2);
  cfg.server_address = "1.2";
  TypeText(".3x.4");
  EXPECT_EQ(cfg.server_address, "1.2.3.4");
  Type(static_cast<char>(BACKSPACE));
  EXPECT_EQ(cfg.server_address, "1.2.3.");
  TypeText("4567890123456");
  EXPECT_EQ(cfg.server_address.size(), 15u);
  EXPECT_EQ(Lines(l_mval.caption)[2], cfg.server_address + "+");

  conn_state = CS_CONNECTED;
  const std::string before = cfg.server_address;
  Type(static_cast<char>(BACKSPACE));
  TypeText("9");
  EXPECT_EQ(cfg.server_address, before);
}

TEST_F(Menu, PortIsEditedAsItsDecimalText) {
  Select(3);
  for (int i = 0; i < 5; ++i) Type(static_cast<char>(BACKSPACE));
  EXPECT_EQ(cfg.server_port, 0);
  TypeText("35700");
  EXPECT_EQ(cfg.server_port, 35700);
  Type(static_cast<char>(BACKSPACE));
  EXPECT_EQ(cfg.server_port, 3570);
  TypeText("91");  // a sixth digit is refused
  EXPECT_EQ(cfg.server_port, 35709);
  for (int i = 0; i < 5; ++i) Type(static_cast<char>(BACKSPACE));
  TypeText("99999");  // keeps its low 16 bits
  EXPECT_EQ(cfg.server_port, 99999 & 0xFFFF);
}

TEST_F(Menu, NameTakesTwentyFourNameCharacters) {
  Select(4);
  cfg.name.clear();
  Type(static_cast<char>(BACKSPACE));
  EXPECT_EQ(cfg.name, "");
  TypeText("Ab!c$ d");
  EXPECT_EQ(cfg.name, "Abc d");
  cfg.name = std::string(23, 'x');
  Type('y');
  Type('z');  // the 25th character is refused
  EXPECT_EQ(cfg.name, std::string(23, 'x') + "y");
  conn_state = CS_CONNECTED;  // the name can be changed while connected
  Type(static_cast<char>(BACKSPACE));
  EXPECT_EQ(cfg.name, std::string(23, 'x'));
}

TEST_F(Menu, BindingItemsTakeTheNextKey) {
  Select(8);
  Tap('K');
  EXPECT_EQ(cfg.key_forward, 'K');
  EXPECT_EQ(Lines(l_mval.caption)[8], key_names['K'] + "+");
  Select(17);
  Tap(ENTER);  // Enter binds too
  EXPECT_EQ(cfg.key_gun[3], ENTER);
  Tap(LEFT);
  EXPECT_EQ(cfg.key_gun[3], LEFT);
  Tap(UP);  // Up moves instead of binding
  EXPECT_EQ(menu_item, 16);
  EXPECT_EQ(cfg.key_gun[2], 50);
}

TEST_F(Menu, EscapeOnABindingItemClosesTheMenuInsteadOfBinding) {
  Select(20);
  Tap(ESCAPE);
  EXPECT_FALSE(menu_open);
  EXPECT_EQ(cfg.key_screenshot, 123);
}

TEST(NormaliseAddress, KeepsFourNumbersOfEightBits) {
  EXPECT_EQ(NormaliseAddress("10.0.0.7"), "10.0.0.7");
  EXPECT_EQ(NormaliseAddress("1.2.3"), "1.2.3.0");
  EXPECT_EQ(NormaliseAddress("300.1.1.1"), "44.1.1.1");
  EXPECT_EQ(NormaliseAddress("1.2.3.4.5"), "1.2.3.45");
  EXPECT_EQ(NormaliseAddress("a1b.:2"), "1.2.0.0");
  EXPECT_EQ(NormaliseAddress(""), "0.0.0.0");
  // 10^20 - 1 is 255 modulo 256.
  EXPECT_EQ(NormaliseAddress("99999999999999999999.1"), "255.1.0.0");
}

}  // namespace
