// config.cfg: reading single lines, the number reader, the file round trip
// and the key-name table.
#include <fstream>

#include "client/core/client_state.h"
#include "client/core/config.h"
#include "client/core/frame.h"
#include "client/core/platform.h"
#include "core_test_env.h"

namespace {

class ConfigTest : public CoreTest {};

TEST_F(ConfigTest, LinesAreSplitAtTheFirstEqualsSignWithoutTrimming) {
  ApplyConfigLine("name = Bob");
  EXPECT_EQ(cfg.name, "VornaxPlayer");
  ApplyConfigLine("name=a=b ");
  EXPECT_EQ(cfg.name, "a=b ");
  ApplyConfigLine("name");
  EXPECT_EQ(cfg.name, "");
  ApplyConfigLine("Name=X");  // keys are case-sensitive
  EXPECT_EQ(cfg.name, "");
  ApplyConfigLine("svip=192.168.100.200:10666");
  EXPECT_EQ(cfg.server_address, "192.168.100.200:");
  ApplyConfigLine("team=1");
  ApplyConfigLine("team=2");  // the last one counts
  EXPECT_EQ(cfg.team, 2);
}

TEST_F(ConfigTest, NumbersAreReadAsFarAsTheyGoAndReducedPerSetting) {
  struct Case {
    const char* line;
    int ms;
  } cases[] = {{"ms=abc", 0}, {"ms=12abc", 12}, {"ms=$20", 32},  {"ms=0x1F", 31}, {"ms=x10", 16},
               {"ms=  +7", 7}, {"ms=150", 49},  {"ms=-1", 53},   {"ms=", 0},      {"ms=0", 0}};
  for (const Case& c : cases) {
    ApplyConfigLine(c.line);
    EXPECT_EQ(cfg.ms, c.ms) << c.line;
  }
  ApplyConfigLine("ms=100");
  EXPECT_FLOAT_EQ(cfg.mouse_factor, 0.5f);
  EXPECT_FLOAT_EQ(cfg.volume_factor, 0.1f);  // untouched until sv is read
  ApplyConfigLine("sv=20");
  EXPECT_FLOAT_EQ(cfg.volume_factor, 0.1f);

  ApplyConfigLine("team=5");
  EXPECT_EQ(cfg.team, 1);
  ApplyConfigLine("mf=300");
  EXPECT_EQ(cfg.key_forward, 44);
  ApplyConfigLine("svport=70000");
  EXPECT_EQ(cfg.server_port, 70000 - 65536);
  ApplyConfigLine("ww=99999999999999999999999");  // overflow just wraps
  ApplyConfigLine("unknown=5");
}

TEST_F(ConfigTest, SavedFileIsWrittenInOrderWithCrLfAndReadsBack) {
  const char* lines[] = {"name=Zed Ä", "team=3", "ms=42", "sv=7",   "mf=38",  "mb=40",  "sl=37",
                         "sr=39",      "at=2",   "js=74", "ch=13",  "g1=97",  "g2=98",  "g3=99",
                         "g4=100",     "g5=101", "scr=44", "svip=10.0.0.7", "svport=35700", "ww=1024", "fscr=1"};
  for (const char* l : lines) ApplyConfigLine(l);
  SaveConfig("config.cfg");
  std::string expected;
  for (const char* l : lines) expected += std::string(l) + "\r\n";
  EXPECT_EQ(ReadFile("config.cfg"), expected);

  const ClientSettings saved = cfg;
  cfg = ClientSettings{};
  LoadConfig("config.cfg");
  EXPECT_EQ(cfg.name, saved.name);
  EXPECT_EQ(cfg.server_address, saved.server_address);
  EXPECT_EQ(cfg.server_port, saved.server_port);
  EXPECT_EQ(cfg.window_width, saved.window_width);
  EXPECT_EQ(cfg.start_maximised, saved.start_maximised);
  EXPECT_EQ(cfg.team, saved.team);
  EXPECT_EQ(cfg.ms, saved.ms);
  EXPECT_EQ(cfg.sv, saved.sv);
  EXPECT_FLOAT_EQ(cfg.mouse_factor, 0.21f);
  EXPECT_FLOAT_EQ(cfg.volume_factor, 0.035f);
  for (int g = 1; g <= 5; ++g) EXPECT_EQ(cfg.key_gun[g], saved.key_gun[g]);
  EXPECT_EQ(cfg.key_forward, saved.key_forward);
  EXPECT_EQ(cfg.key_backward, saved.key_backward);
  EXPECT_EQ(cfg.key_left, saved.key_left);
  EXPECT_EQ(cfg.key_right, saved.key_right);
  EXPECT_EQ(cfg.key_attack, saved.key_attack);
  EXPECT_EQ(cfg.key_specjoin, saved.key_specjoin);
  EXPECT_EQ(cfg.key_chat, saved.key_chat);
  EXPECT_EQ(cfg.key_screenshot, saved.key_screenshot);
}

TEST_F(ConfigTest, DefaultsWithoutAFileAndLineEndingsOfAnyKind) {
  LoadConfig("config.cfg");
  SaveConfig("defaults.cfg");
  EXPECT_EQ(ReadFile("defaults.cfg"),
            "name=VornaxPlayer\r\nteam=0\r\nms=100\r\nsv=100\r\nmf=87\r\nmb=83\r\nsl=65\r\nsr=68\r\nat=1\r\n"
            "js=71\r\nch=84\r\ng1=49\r\ng2=50\r\ng3=51\r\ng4=52\r\ng5=53\r\nscr=123\r\nsvip=127.0.0.1\r\n"
            "svport=10666\r\nww=800\r\nfscr=0\r\n");
  EXPECT_FLOAT_EQ(cfg.mouse_factor, 0.1f);

  std::ofstream("mixed.cfg", std::ios::binary) << "name=Lf\nteam=2\rms=9\r\nsv=8";
  LoadConfig("mixed.cfg");
  EXPECT_EQ(cfg.name, "Lf");
  EXPECT_EQ(cfg.team, 2);
  EXPECT_EQ(cfg.ms, 9);
  EXPECT_EQ(cfg.sv, 8);
}

TEST_F(ConfigTest, UnwritableConfigIsSkippedQuietly) {
  SaveConfig("no_such_dir/config.cfg");
  EXPECT_FALSE(FileExists("no_such_dir/config.cfg"));
}

TEST_F(ConfigTest, KeyNamesCoverTheNamedCodesAndSingleCharactersElsewhere) {
  BuildKeyNames();
  int named = 0;
  for (int i = 0; i < 256; ++i) named += key_names[i].size() > 1;
  EXPECT_EQ(named, 56);
  EXPECT_EQ(key_names[1], "mleft");
  EXPECT_EQ(key_names[44], "prntscreen");
  EXPECT_EQ(key_names[96], "numpad0");
  EXPECT_EQ(key_names[105], "numpad9");
  EXPECT_EQ(key_names[108], std::string(1, static_cast<char>(108)));
  EXPECT_EQ(key_names[112], "f1");
  EXPECT_EQ(key_names[123], "f12");
  EXPECT_EQ(key_names[165], "ralt");
  EXPECT_EQ(key_names['W'], "W");
  EXPECT_EQ(key_names[0], std::string(1, '\0'));
}

TEST_F(ConfigTest, WindowWidthSettingSizesTheClientArea) {
  struct Case {
    const char* line;
    int w, h;
  } cases[] = {{"", 800, 600}, {"ww=2000", 1024, 768}, {"ww=500", 640, 480}};
  for (const Case& c : cases) {
    std::ofstream("config.cfg", std::ios::binary) << c.line << "\r\nfscr=1\r\n";
    cfg = ClientSettings{};
    StartUp();
    int w = 0, h = 0;
    PlatformClientSize(w, h);
    EXPECT_EQ(w, c.w) << c.line;
    EXPECT_EQ(h, c.h) << c.line;
    EXPECT_TRUE(PlatformIsMaximised());
    Shutdown();
  }
}

}  // namespace
