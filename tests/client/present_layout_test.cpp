// The window's labels at the sizes the width setting allows: every box
// inside the client area, the title clear of the menu, the frame rate clear
// of the HUD panel; and the first picture a spectator sees.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "client/core/platform.h"
#include "client/core/scoreboard.h"
#include "client/core/world.h"
#include "client/presentation/assets.h"
#include "client/presentation/hud.h"
#include "client/presentation/menu.h"
#include "client/presentation/renderer.h"
#include "client_test.h"

namespace {

struct Box {
  int left, top, right, bottom;
};
Box BoxOf(const Label& l) { return {l.left, l.top, l.left + l.width, l.top + l.height}; }

::testing::AssertionResult Inside(const char* name, const Label& l, int cw, int ch) {
  const Box b = BoxOf(l);
  if (b.left >= 0 && b.top >= 0 && b.right <= cw && b.bottom <= ch) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << name << " (" << b.left << "," << b.top << ")-(" << b.right << ","
                                       << b.bottom << ") leaves the " << cw << " x " << ch << " client area";
}

// More than `slack` pixels in common both across and down. The scoreboard
// is laid out from label widths and heights while the log stands at (1, 1),
// so its neighbours may share one pixel.
bool Overlap(const Label& a, const Label& b, int slack = 0) {
  const Box p = BoxOf(a), q = BoxOf(b);
  return p.left + slack < q.right && q.left + slack < p.right && p.top + slack < q.bottom && q.top + slack < p.bottom;
}

// Lines of a caption: a final CR ends the last line.
int Lines(const std::string& caption) {
  const int breaks = static_cast<int>(std::count(caption.begin(), caption.end(), '\r'));
  return caption.empty() || caption.back() != '\r' ? breaks + 1 : breaks;
}

class LayoutTest : public ClientTest {
 protected:
  // A fresh program with this width setting, the HUD panel 40 rows high.
  void Start(int ww) {
    std::ofstream("config.cfg") << "ww=" << ww << "\r\n";
    cfg = ClientSettings{};
    HeadlessReset();  // a fresh program
    ResetClientState();
    ResetLabels();
    StartUp();
    hud_panel.width = 320;
    hud_panel.height = 40;
    hud_panel.pixels.assign(320 * 40, 0x404040);
    LayoutScreen();
    PlatformClientSize(cw_, ch_);
  }
  // A full server seen from inside: 24 players with the longest names, a
  // team game, a full log.
  void FullTeamGame() {
    conn_state = CS_CONNECTED;
    team_play = 1;
    for (int s = 1; s <= MAX_SLOTS; ++s) {
      players[s].state = PS_ALIVE;
      players[s].name = std::string(24, static_cast<char>('A' + s % 26));
      players[s].frags = 199;
      players[s].ping = 255;
    }
    l_sb_stat.setCaption("server name: " + std::string(24, 'S') + "\rmap: " + std::string(24, 'M') +
                         "  scorelimit: 255\rmax players: 24  game type: Team DM");
    for (int i = 0; i < 20; ++i) ShowLogLine(std::string(24, 'N') + " was fragged by " + std::string(24, 'K'));
    UpdateScoreboard();
    if (menu_open) ToggleMenu();
  }
  void TearDown() override {
    hud_panel = HudBitmap{};
    ClientTest::TearDown();
  }
  int cw_ = 0, ch_ = 0;
};

TEST_F(LayoutTest, TitleAndMenuFitEveryWindowWidthWithoutOverlapping) {
  for (const int ww : {640, 800, 1024}) {
    SCOPED_TRACE(ww);
    Start(ww);
    ASSERT_EQ(cw_, ww);
    ASSERT_TRUE(menu_open && l_mcpt.visible && l_mvar.visible);
    EXPECT_LE(std::abs(l_mcpt.left + l_mcpt.width / 2 - cw_ / 2), 1);  // the title centred
    EXPECT_EQ(l_mcpt.top, ch_ / 15);
    EXPECT_EQ(Lines(l_mvar.caption), Lines(l_mval.caption));
    for (int extra = 0; extra < 2; ++extra) {  // the menu as it is, and with one more line
      EXPECT_TRUE(Inside("l_mcpt", l_mcpt, cw_, ch_));
      EXPECT_TRUE(Inside("l_mvar", l_mvar, cw_, ch_));
      EXPECT_TRUE(Inside("l_mval", l_mval, cw_, ch_));
      EXPECT_LT(l_mcpt.top + l_mcpt.height, l_mvar.top) << "the title runs into the menu";
      EXPECT_EQ(l_mval.top, l_mvar.top);
      EXPECT_EQ(l_mval.left, l_mvar.left + l_mvar.width);
      EXPECT_LE(std::abs(l_mvar.left + (l_mvar.width + l_mval.width) / 2 - cw_ / 2), 1);
      // Lines one character height apart, every one of them inside.
      EXPECT_EQ(l_mvar.height % Lines(l_mvar.caption), 0);
      EXPECT_GE(l_mvar.height / Lines(l_mvar.caption), 17);
      l_mvar.setCaption(l_mvar.caption + "\r Server list");
      l_mval.setCaption(l_mval.caption + "\r ");
      PlaceMenu();
    }
    EXPECT_FALSE(Overlap(l_fps, l_mvar));
    EXPECT_FALSE(Overlap(l_fps, l_mval));
    Shutdown();
  }
}

TEST_F(LayoutTest, TheDesignSizesStandWhereTheWindowHasRoomForThem) {
  Start(1024);
  EXPECT_EQ(l_mcpt.font, FONT_TITLE);
  EXPECT_EQ(l_mcpt.height, 59);
  EXPECT_EQ(l_mvar.font, FONT_MENU);
  EXPECT_EQ(l_mvar.height, 19 * Lines(l_mvar.caption));
  EXPECT_EQ(l_mvar.top, 768 / 2 - l_mvar.height / 2 + 45);  // the centred place, untouched
  Shutdown();
}

TEST_F(LayoutTest, LogScoreboardChatFrameRateAndAnnouncementStayInside) {
  for (const int ww : {640, 800, 1024}) {
    SCOPED_TRACE(ww);
    Start(ww);
    FullTeamGame();
    ASSERT_TRUE(l_log.visible && l_sb_ts.visible);
    EXPECT_EQ(l_log.height, 13 * Lines(l_log.caption));
    for (const auto& [name, label] : {std::pair<const char*, const Label*>{"l_log", &l_log},
                                      {"l_sb_stat", &l_sb_stat},
                                      {"l_sb_s", &l_sb_s},
                                      {"l_sb_p", &l_sb_p},
                                      {"l_sb_n", &l_sb_n},
                                      {"l_sb_ts", &l_sb_ts},
                                      {"l_fps", &l_fps}})
      EXPECT_TRUE(Inside(name, *label, cw_, ch_));
    // The board's parts side by side and below each other, never on top.
    const Label* board[] = {&l_log, &l_sb_stat, &l_sb_s, &l_sb_p, &l_sb_n, &l_sb_ts};
    for (const Label* a : board) {
      for (const Label* b : board) {
        if (a != b) {
          EXPECT_FALSE(Overlap(*a, *b, 1)) << a->caption.substr(0, 20) << " / " << b->caption.substr(0, 20);
        }
      }
    }

    // The frame rate at the right edge, above the HUD panel.
    EXPECT_EQ(l_fps.left + l_fps.width, cw_);
    EXPECT_EQ(l_fps.top + l_fps.height, HudPanelTop(ch_));
    EXPECT_EQ(HudPanelTop(ch_), 200 * ch_ / 240);

    // The longest chat line shows its end inside the window.
    Tap(cfg.key_chat);
    ClientFrame();
    for (int i = 0; i < 90; ++i) {
      Press('A' + i % 26, static_cast<uint8_t>('a' + i % 26));
      ClientFrame();
    }
    EXPECT_EQ(chat_line.size(), 84u);
    EXPECT_TRUE(l_chat.visible);
    EXPECT_TRUE(Inside("l_chat", l_chat, cw_, ch_));
    EXPECT_EQ(l_chat.caption.rfind(" SAY: ", 0), 0u);
    EXPECT_EQ(chat_line.substr(chat_line.size() - 10), l_chat.caption.substr(l_chat.caption.size() - 10));
    EXPECT_FALSE(Overlap(l_chat, l_fps));

    // The longest announcement: a name of 20 characters after its team tag.
    Announce("You were fragged by [MU]" + std::string(20, 'W') + "!");
    LayoutScreen();
    EXPECT_TRUE(Inside("l_anon", l_anon, cw_, ch_));
    Announce("You fragged [SS]Ann!");
    EXPECT_EQ(l_anon.font, FONT_ANNOUNCE);  // its own size where it fits
    Shutdown();
  }
}

// ---------------------------------------------------------------- spectator

// A shipped map file as the server sends it: the header, then the rows
// joined by CR.
std::string ShippedMapText(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string header, line;
  std::vector<std::string> rows;
  std::getline(in, header);
  if (!header.empty() && header.back() == '\r') header.pop_back();
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    rows.push_back(line);
  }
  while (!rows.empty() && rows.back().empty()) rows.pop_back();
  return MapText(rows, header);
}

std::string GameInfo(const std::string& map, uint8_t team_game) {
  return Datagram().byte('l').word(1).raw(map).byte(0).str("arena").str("Box").byte(20).byte(team_game).byte(10).byte(0);
}

class SpectatorTest : public ClientTest {
 protected:
  // Connected as a spectator in slot 3; the menu closed as --connect leaves it.
  void ArriveAsSpectator() {
    StartUp();
    Connect();
    Deliver(Datagram().byte(MSG_BADVERSION).byte(PROTOCOL_VERSION));  // a server that speaks only 28
    Deliver(Snapshot(1, {{.slot = 3, .state = PS_SPECTATOR}}, {}, OwnBlock{.slot = 3}));
    ASSERT_EQ(conn_state, CS_CONNECTED);
  }
};

TEST_F(SpectatorTest, TheFirstPictureOfEveryShippedMapLooksIntoTheMapFromItsFirstSpawnPoint) {
  int maps = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(VORNAX_SOURCE_DIR) + "/maps")) {
    if (entry.path().extension() != ".vnxm") continue;
    SCOPED_TRACE(entry.path().filename().string());
    ++maps;
    ResetClientState();
    ResetLabels();
    ArriveAsSpectator();
    const std::string map = ShippedMapText(entry.path());
    Deliver(GameInfo(map, 0));
    ASSERT_FALSE(awaiting_info);

    // The first '@' in reading order.
    int col = 0, row = 0;
    {
      int c = 1, r = 1;
      for (size_t i = 6; i < map.size() && col == 0; ++i) {
        if (map[i] == '\r') {
          c = 1;
          ++r;
          continue;
        }
        if (map[i] == '@') col = c, row = r;
        ++c;
      }
    }
    ASSERT_NE(col, 0) << "a shipped map without a spawn point";
    EXPECT_EQ(local_x, col * 64 + 32);
    EXPECT_EQ(local_y, row * 64 + 32);

    ClientFrame();
    // The middle of the picture: no wall nearer than one cell.
    for (int column = VIEW_W / 2 - 20; column <= VIEW_W / 2 + 20; ++column)
      EXPECT_GT(ViewDepth(column, VIEW_H), 100) << "column " << column;
    Shutdown();
  }
  EXPECT_GE(maps, 4);
}

TEST_F(SpectatorTest, ACameraFollowingAPlayerOrAMapWithoutSpawnPointsStaysWhereItIs) {
  ArriveAsSpectator();
  Deliver(GameInfo(MapText({"AAAA", "A..A", "AAAA"}), 0));
  EXPECT_EQ(local_x, 65);
  EXPECT_EQ(local_y, 65);

  view_slot = 5;  // following slot 5
  local_x = 700;
  Deliver(GameInfo(MapText({"AAAA", "A.@A", "AAAA"}), 0));
  EXPECT_EQ(local_x, 700);
  view_slot = 3;
  Deliver(GameInfo(MapText({"AAAAA", "A..@A", "AAAAA"}), 0));
  EXPECT_EQ(local_x, 4 * 64 + 32);
  EXPECT_EQ(local_y, 2 * 64 + 32);
  EXPECT_FLOAT_EQ(view_angle, 180.0f);  // the only way into the room
  Shutdown();
}

TEST_F(SpectatorTest, TeamTotalsShowAsSoonAsTheGameIsKnownToBeATeamGame) {
  ArriveAsSpectator();
  ASSERT_FALSE(menu_open);
  ASSERT_TRUE(l_log.visible);
  EXPECT_FALSE(l_sb_ts.visible);
  Deliver(GameInfo(MapText({"AAA", "A@A", "AAA"}), 1));
  EXPECT_TRUE(l_sb_ts.visible);
  Deliver(GameInfo(MapText({"AAA", "A@A", "AAA"}), 0));
  EXPECT_FALSE(l_sb_ts.visible);  // free-for-all on the next map
  Shutdown();
}

}  // namespace
