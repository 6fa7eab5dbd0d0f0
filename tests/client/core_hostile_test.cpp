// What others can throw at the client, in process: empty datagrams ahead of
// the server's, control characters in names and chat, texts of any length,
// endless logs, picture files of absurd size, and a disk that will not take
// a screenshot.
#include <signal.h>
#include <sys/resource.h>

#include "client/core/config.h"
#include "client/presentation/assets.h"
#include "client/presentation/menu.h"
#include "client_test.h"
#include "support/asset_names.h"

namespace {

using HostileTest = ClientTest;

TEST_F(HostileTest, EmptyDatagramsDoNotHideTheServersBehindThem) {
  UdpPeer server, stranger;
  StartUp();
  ConnectFromArgument("127.0.0.1:" + std::to_string(server.port()));
  SpeakOnly28(server);
  for (int i = 0; i < 200; ++i) stranger.sendTo(local_port, "");
  server.sendTo(local_port, "");
  server.sendTo(local_port, Snapshot(5, {}, {}, OwnBlock{.slot = 3}));
  ASSERT_TRUE(WaitFor([] { return DatagramWaiting(local_port); }, 2000));
  ClientFrame();
  EXPECT_EQ(conn_state, CS_CONNECTED);
  EXPECT_EQ(my_slot, 3);
}

TEST_F(HostileTest, ControlCharactersInNamesAndChatShowAsQuestionMarks) {
  conn_state = CS_CONNECTED;
  awaiting_info = false;
  view_slot = 2;
  ApplyEvent(Line({EV_CONNECT, 1, 0}, "Eve\r12.01 Bob"));
  ApplyEvent(Line({EV_CHAT, 1}, "hi\rBob: I cheat\t\x1b"));
  ApplyEvent(Line({EV_KILL, 1, 1, 2}));
  EXPECT_EQ(players[1].name, "Eve?12.01 Bob");
  EXPECT_EQ(log_lines.at(log_lines.size() - 3), "Eve?12.01 Bob connected!");
  EXPECT_EQ(log_lines.at(log_lines.size() - 2), "Eve?12.01 Bob: hi?Bob: I cheat??");
  EXPECT_EQ(l_anon.caption, "You were fragged by Eve?12.01 Bob!");
  Deliver(Datagram().byte(MSG_GAMEINFO).word(0).raw(std::string("000000\0", 7)).str("map\r").str("Srv\n").byte(20)
              .byte(0).byte(10).byte(1).byte(4).byte(0).str("Tab\tName"));
  EXPECT_EQ(players[4].name, "Tab?Name");
  EXPECT_EQ(l_sb_stat.caption.substr(0, 31), "server name: Srv?\rmap: map?  sc");
  // Every line of the on-screen log is one line of text.
  for (const std::string& line : log_lines) {
    if (line.rfind("server name: ", 0) != 0) {
      EXPECT_EQ(line.find('\r'), std::string::npos) << line;
    }
  }
}

TEST_F(HostileTest, TheEventLogKeepsItsNewestThousandLines) {
  for (int i = 0; i < 2500; ++i) ShowLogLine("line" + std::to_string(i));
  ASSERT_EQ(log_lines.size(), 1000u);
  EXPECT_EQ(log_lines.front(), "line1500");
  EXPECT_EQ(log_lines.back(), "line2499");
  EXPECT_EQ(l_log.caption.substr(0, 9), "line2492\r");
}

TEST_F(HostileTest, ANameOfAnyLengthIsKeptButALabelShowsOnlyItsStart) {
  const std::string huge(200000, 'N');
  WriteFile("config.cfg", "name=" + huge + "\r\n");
  StartUp();
  EXPECT_EQ(cfg.name, huge);
  ASSERT_TRUE(l_mval.visible);
  EXPECT_NE(l_mval.caption.find(std::string(256, 'N') + "\r"), std::string::npos);
  EXPECT_LT(l_mval.caption.size(), 4000u);
  EXPECT_LT(l_mval.width, 256 * 20);
  Label many;
  std::string lines;
  for (int i = 0; i < 1000; ++i) lines += "x\r";
  many.setCaption(lines);
  EXPECT_EQ(std::count(many.caption.begin(), many.caption.end(), '\r'), 63);
  Shutdown();
  EXPECT_NE(ReadFile("config.cfg").find("name=" + huge + "\r\n"), std::string::npos);
}

TEST_F(HostileTest, AbsurdPicturesAreRefusedBeforeDecodingAndAllShareOneBudget) {
  // 4096 x 4096 from 1 kB: too large on its own.
  WriteFile("sprites/wA.bmp", RleBomb(4096, 4096));
  ResetPictureBudget();
  LoadWallTextures();
  EXPECT_EQ(LogCount("sprites/wA.bmp is too large, not loaded!"), 1);
  EXPECT_EQ(wall_textures[0].width, 1);
  // 1024 x 1024 each, one to the picture: the budget takes eight of them.
  for (const std::string& name : HudNames(".bmp")) WriteFile("sprites/" + name, RleBomb(1024, 1024));
  ResetPictureBudget();
  log_lines.clear();
  LoadHudImages();
  size_t kept = hud_panel.pixels.size();
  for (const HudBitmap& b : hud_team) kept += b.pixels.size();
  for (int w = 1; w <= 5; ++w)
    kept += hud_weapon[w].pixels.size() + hud_gun[w][0].pixels.size() + hud_gun[w][1].pixels.size();
  EXPECT_EQ(hud_panel.width, 1024);
  EXPECT_EQ(log_lines.size(), 12u);
  EXPECT_EQ(LogCount("sprites/hud_w5.bmp is too large, not loaded!"), 1);
  EXPECT_LE(kept, (8u << 20) + 12);  // the refused ones are 1 x 1
}

TEST_F(HostileTest, AScreenshotThatCannotBeWrittenWholeIsRemovedAndReported) {
  headless_client_w = 800;
  headless_client_h = 600;
  // The file grows to 4 kB, then the writes fail.
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  sighandler_t old_handler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  TakeScreenshot();
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, old_handler);
  EXPECT_FALSE(FileExists("VnxDMScrShot0.bmp"));
  EXPECT_EQ(log_lines.back(), "Screenshot failed: VnxDMScrShot0.bmp could not be written");
  TakeScreenshot();
  EXPECT_TRUE(FileExists("VnxDMScrShot0.bmp"));
}

}  // namespace
