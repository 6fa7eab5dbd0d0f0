// The real client's labels as its own fonts measure them, at the window
// widths the width setting allows; without a config.cfg it starts and saves
// its defaults.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "support/process.h"

namespace {

struct LabelBox {
  bool visible = false;
  std::string caption;
  int left = 0, top = 0, width = 0, height = 0;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
};

struct Screen {
  int width = 0, height = 0;
  std::map<std::string, LabelBox> labels;
};

// The client's --dump-labels file: "name visible caption @ left top width
// height" per label, then "client W H".
Screen ReadDump(const std::string& text) {
  Screen screen;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string name;
    fields >> name;
    if (name == "client") {
      fields >> screen.width >> screen.height;
      continue;
    }
    const size_t at = line.rfind(" @ ");
    if (at == std::string::npos || line.size() < name.size() + 3) continue;
    LabelBox box;
    box.visible = line[name.size() + 1] == '1';
    box.caption = line.substr(name.size() + 3, at - name.size() - 3);
    std::istringstream(line.substr(at + 3)) >> box.left >> box.top >> box.width >> box.height;
    screen.labels[name] = box;
  }
  return screen;
}

// 800 is the width without a config.cfg: the game starts without one, with no
// sound device, and saves its defaults at the end.
TEST(ScreenLayout, TheStartScreenFitsEveryWindowWidthInTheGamesOwnFonts) {
  if (!ClientBuilt()) GTEST_SKIP() << "vornaxdm not built";
  for (const int ww : {640, 800, 1024}) {
    SCOPED_TRACE(ww);
    TempDir dir;
    if (ww != 800) WriteFile(dir / "config.cfg", "ww=" + std::to_string(ww) + "\r\n");
    ChildProcess client;
    ASSERT_TRUE(StartGame(client, dir.path(), {"--frames", "5", "--dump-labels", dir / "labels.txt"}));
    ASSERT_EQ(client.wait(60000), 0) << ReadFile(dir / "client.out");
    const std::string config = ReadFile(dir / "config.cfg");
    EXPECT_EQ(config.rfind(ww == 800 ? "name=VornaxPlayer\r\nteam=0\r\n" : "", 0), 0u) << config;
    EXPECT_NE(config.find("\r\nww=" + std::to_string(ww) + "\r\nfscr=0\r\n"), std::string::npos) << config;
    const Screen screen = ReadDump(ReadFile(dir / "labels.txt"));
    ASSERT_EQ(screen.width, ww);
    ASSERT_EQ(screen.height, ww * 3 / 4);
    for (const char* name : {"l_mcpt", "l_mvar", "l_mval", "l_fps"}) {
      SCOPED_TRACE(name);
      const LabelBox& l = screen.labels.at(name);
      EXPECT_TRUE(l.visible);
      EXPECT_GE(l.left, 0);
      EXPECT_GE(l.top, 0);
      EXPECT_LE(l.right(), screen.width);
      EXPECT_LE(l.bottom(), screen.height);
    }
    const LabelBox &title = screen.labels.at("l_mcpt"), &items = screen.labels.at("l_mvar"),
                   &values = screen.labels.at("l_mval"), &fps = screen.labels.at("l_fps");
    EXPECT_LT(title.bottom(), items.top) << "the title runs into the menu";
    EXPECT_EQ(values.left, items.right());
    EXPECT_EQ(values.top, items.top);
    EXPECT_TRUE(fps.right() <= items.left || fps.left >= values.right() || fps.bottom() <= items.top ||
                fps.top >= items.bottom());
    // One line per menu item, one character height apart.
    const int lines = 1 + static_cast<int>(std::count(items.caption.begin(), items.caption.end(), '|'));
    EXPECT_GE(lines, 21);
    EXPECT_EQ(items.height % lines, 0);
    EXPECT_LE(items.height / lines, 19);
  }
}

}  // namespace
