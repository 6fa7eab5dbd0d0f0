// The game as a package installs it: `cmake --install` into a temporary
// DESTDIR, then the installed server, started in an empty folder, plays a
// shipped map, and the installed game, in a real X window, keeps its files
// in the player's own folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <sstream>

#include "support/display.h"
#include "support/process.h"

namespace {

bool IsLink(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

TEST(Installed, AStagedInstallationPlaysFromThePlayersOwnFolder) {
  for (const char* program : {"Xvfb", "xdotool", "cmake"})
    if (!OnPath(program)) GTEST_SKIP() << program << " is not installed";
  for (const char* binary : {"vornaxdm", "vornaxdm_server", "assetgen"})
    if (!FileExists(BinaryPath(binary))) GTEST_SKIP() << binary << " not built";
  TempDir dir;
  const std::string stage = dir / "stage";
  const std::string install = "DESTDIR='" + stage + "' cmake --install '" + std::string(VORNAX_BINARY_DIR) +
                              "' --prefix /opt/vnx > '" + dir / "install.out" + "' 2>&1";
  ASSERT_EQ(std::system(install.c_str()), 0) << ReadFile(dir / "install.out");
  const std::string prefix = stage + "/opt/vnx";
  for (const char* file : {"bin/vornaxdm", "bin/vornaxdm_server", "share/vornaxdm/maps/arena.vnxm",
                           "share/vornaxdm/maps/fortress.vnxm", "share/vornaxdm/sprites/wA.bmp",
                           "share/vornaxdm/sounds/snd_chat.wav", "share/man/man6/vornaxdm.6",
                           "share/man/man6/vornaxdm_server.6", "share/applications/vornaxdm.desktop",
                           "share/doc/vornaxdm/LICENSE"})
    EXPECT_TRUE(FileExists(prefix + "/" + file)) << file;
  EXPECT_NE(ReadFile(prefix + "/share/applications/vornaxdm.desktop").find("\nExec=vornaxdm\n"), std::string::npos);

  // The server runs in a folder without maps and finds the shipped one.
  std::filesystem::create_directories(dir / "elsewhere");
  ChildProcess server;
  ASSERT_TRUE(server.start(prefix + "/bin/vornaxdm_server", {"-port", "0", "-map", "arena", "-bots", "1"},
                           dir / "elsewhere", dir / "elsewhere/server.out"));
  const uint16_t port = ServerPort(server, 30000);
  ASSERT_NE(port, 0) << ReadFile(dir / "elsewhere/server.out");

  ChildProcess xvfb;
  const std::string display = StartXvfb(xvfb, dir.path());
  ASSERT_FALSE(display.empty()) << "no X display could be started";
  ChildProcess game;
  // The X libraries leak at exit; under the sanitizers that must not hide
  // the game's own exit status.
  game.env = {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "ALSOFT_DRIVERS=null", "HOME=" + dir / "home",
              "XDG_DATA_HOME=", "ASAN_OPTIONS=detect_leaks=0"};
  ASSERT_TRUE(game.start(prefix + "/bin/vornaxdm",
                         {"--connect", "127.0.0.1:" + std::to_string(port), "--dump-labels", "labels.txt"},
                         dir / "elsewhere", dir / "game.out"));
  constexpr int kPatience = 60000;
  const std::string window = WaitForGameWindow(display, kPatience);
  ASSERT_FALSE(window.empty()) << ReadFile(dir / "game.out");
  // Connected, to the shipped map.
  auto stat_label = [&] { return LabelLine(ReadFile(dir / "elsewhere/labels.txt"), "l_sb_stat"); };
  EXPECT_TRUE(WaitFor([&] { return stat_label().find("map: arena") != std::string::npos; }, kPatience))
      << stat_label() << ReadFile(dir / "game.out");
  // F12 until the screenshot is there.
  const std::string folder = dir / "home/.local/share/vornaxdm";
  const long long deadline = NowMs() + kPatience;
  bool shot = false;
  while (!shot && NowMs() < deadline) {
    RunCommand("DISPLAY=" + display + " xdotool windowfocus --sync " + window + " key F12 2>/dev/null");
    shot = WaitFor([&] { return FileExists(folder + "/VnxDMScrShot0.bmp"); }, 10000);
  }
  EXPECT_TRUE(shot);
  game.signal(SIGTERM);  // quits as the menu's Quit does
  EXPECT_EQ(game.wait(kPatience), 0) << ReadFile(dir / "game.out");
  EXPECT_EQ(server.stop(), 0);
  xvfb.stop();

  // Everything the game wrote is in the player's folder, which links the
  // shipped data; nothing lands beside the binaries or in the folder the
  // game was started from.
  EXPECT_TRUE(FileExists(folder + "/config.cfg"));
  for (const char* name : {"sprites", "sounds", "maps"}) EXPECT_TRUE(IsLink(folder + "/" + name)) << name;
  EXPECT_TRUE(FileExists(folder + "/sprites/wA.bmp"));
  EXPECT_FALSE(FileExists(prefix + "/bin/config.cfg"));
  EXPECT_FALSE(FileExists(dir / "elsewhere/config.cfg"));
  EXPECT_FALSE(FileExists(dir / "elsewhere/outlog.txt"));
  EXPECT_TRUE(FileExists(dir / "elsewhere/labels.txt"));  // a file named on the command line stays where meant

  // With XDG_DATA_HOME the folder is made there, on the way too.
  ChildProcess headless;
  headless.env = {"SDL_VIDEODRIVER=dummy", "ALSOFT_DRIVERS=null", "HOME=" + dir / "home",
                  "XDG_DATA_HOME=" + dir / "xdg/data"};
  ASSERT_TRUE(headless.start(prefix + "/bin/vornaxdm", {"--frames", "5"}, dir / "elsewhere", dir / "headless.out"));
  EXPECT_EQ(headless.wait(kPatience), 0) << ReadFile(dir / "headless.out");
  EXPECT_TRUE(FileExists(dir / "xdg/data/vornaxdm/config.cfg"));
  EXPECT_TRUE(FileExists(dir / "xdg/data/vornaxdm/sounds/snd_chat.wav"));
}

}  // namespace
