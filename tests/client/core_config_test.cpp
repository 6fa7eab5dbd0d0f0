// config.cfg: single lines, the number reader, the file round trip and the
// window size it sets.
#include "client/core/config.h"
#include "client/core/platform.h"
#include "client/presentation/hud.h"
#include "client_test.h"

namespace {

using ConfigTest = ClientTest;

TEST_F(ConfigTest, LinesAreSplitAtTheFirstEqualsSignWithoutTrimming) {
  ApplyConfigLine("name = Bob");  // the key is "name " and means nothing
  EXPECT_EQ(cfg.name, "VornaxPlayer");
  ApplyConfigLine("name=a=b ");
  EXPECT_EQ(cfg.name, "a=b ");
  ApplyConfigLine("Name=X");
  ApplyConfigLine("name");
  EXPECT_EQ(cfg.name, "");
  ApplyConfigLine("svip=192.168.100.200:10666");
  EXPECT_EQ(cfg.server_address, "192.168.100.200:");
}

TEST_F(ConfigTest, NumbersAreReadAsFarAsTheyGoAndReducedPerSetting) {
  const std::pair<const char*, int> mouse[] = {{"ms=abc", 0}, {"ms=12abc", 12}, {"ms=$20", 32}, {"ms=0x1F", 31},
                                               {"ms=x10", 16}, {"ms=  +7", 7},  {"ms=150", 49}, {"ms=-1", 53}};
  for (const auto& [line, value] : mouse) {
    ApplyConfigLine(line);
    EXPECT_EQ(cfg.ms, value) << line;
  }
  EXPECT_FLOAT_EQ(cfg.mouse_factor, 53 / 200.0f);
  EXPECT_FLOAT_EQ(cfg.volume_factor, 0.1f);  // until sv itself is read
  ApplyConfigLine("team=5");
  ApplyConfigLine("mf=300");
  ApplyConfigLine("svport=70000");
  ApplyConfigLine("ww=99999999999999999999999");  // overflow only wraps
  EXPECT_EQ(cfg.team, 1);
  EXPECT_EQ(cfg.key_forward, 44);
  EXPECT_EQ(cfg.server_port, 70000 - 65536);
}

TEST_F(ConfigTest, SavedFileHasEveryKeyInOrderWithCrLfAndReadsBackTheSame) {
  SaveConfig("config.cfg");
  EXPECT_EQ(ReadFile("config.cfg"),
            "name=VornaxPlayer\r\nteam=0\r\nms=100\r\nsv=100\r\nmf=87\r\nmb=83\r\nsl=65\r\nsr=68\r\nat=1\r\n"
            "js=71\r\nch=84\r\ng1=49\r\ng2=50\r\ng3=51\r\ng4=52\r\ng5=53\r\nscr=123\r\nsvip=127.0.0.1\r\n"
            "svport=10666\r\nww=800\r\nfscr=0\r\n");

  WriteFile("config.cfg",
            "name=Zed \xC4\nteam=3\rms=42\r\nsv=7\r\nmf=38\r\nmb=40\r\nsl=37\r\nsr=39\r\nat=2\r\njs=74\r\nch=13\r\n"
            "g1=97\r\ng2=98\r\ng3=99\r\ng4=100\r\ng5=101\r\nscr=44\r\nsvip=10.0.0.7\r\nsvport=35700\r\nww=1024\r\nfscr=1");
  LoadConfig("config.cfg");
  SaveConfig("again.cfg");
  cfg = ClientSettings{};
  LoadConfig("again.cfg");
  SaveConfig("third.cfg");
  EXPECT_EQ(ReadFile("third.cfg"), ReadFile("again.cfg"));
  EXPECT_EQ(ReadFile("again.cfg").substr(0, 33), "name=Zed \xC4\r\nteam=3\r\nms=42\r\nsv=7\r\n");
  EXPECT_EQ(cfg.key_gun[5], 101);
  EXPECT_EQ(cfg.start_maximised, 1);
  EXPECT_FLOAT_EQ(cfg.volume_factor, 7 / 200.0f);

  // Not writable: skipped, with a line in the event log and outlog.txt.
  SaveConfig("no_such_dir/config.cfg");
  EXPECT_FALSE(FileExists("no_such_dir/config.cfg"));
  const std::string failure = "no_such_dir/config.cfg could not be written (No such file or directory): settings not saved";
  ASSERT_FALSE(log_lines.empty());
  EXPECT_EQ(log_lines.back(), failure);
  EXPECT_NE(ReadFile("outlog.txt").find(failure + "\r\n"), std::string::npos);
}

// The window width setting sizes the client area (present_layout_test.cpp
// checks the labels in it), the chat line at the bottom left.
TEST_F(ConfigTest, WindowWidthSettingSizesTheScreenAndItsLayout) {
  const std::tuple<std::string, int, int> cases[] = {
      {"", 800, 600}, {"ww=2000\r\nfscr=1", 1024, 768}, {"ww=500", 640, 480}, {"ww=1000\r\nfscr=1", 1000, 750}};
  for (const auto& [lines, w, h] : cases) {
    SCOPED_TRACE(lines);
    WriteFile("config.cfg", lines + "\r\n");
    cfg = ClientSettings{};
    HeadlessReset();  // a fresh program
    StartUp();
    int cw = 0, ch = 0;
    PlatformClientSize(cw, ch);
    EXPECT_EQ(cw, w);
    EXPECT_EQ(ch, h);
    EXPECT_EQ(PlatformIsMaximised(), lines.find("fscr=1") != std::string::npos);
    EXPECT_EQ(l_chat.top + l_chat.height, h);
    Shutdown();
  }
}

}  // namespace
