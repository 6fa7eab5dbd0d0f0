// The game as a package installs it: `cmake --install` into a temporary
// DESTDIR (all of it, or the server component alone), then the installed
// server, started in an empty folder, plays a shipped map, and the installed
// game, in a real X window, keeps its files in the player's own folders.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <regex>
#include <sstream>

#include "support/display.h"
#include "support/process.h"

namespace {

bool IsLink(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Installs the build (one component, or all) under stage/opt/vnx; "" when
// done, otherwise what cmake said.
std::string Install(const TempDir& dir, const std::string& stage, const std::string& component = "") {
  const std::string command = "DESTDIR='" + stage + "' cmake --install '" + std::string(VORNAX_BINARY_DIR) +
                              "' --prefix /opt/vnx" + (component.empty() ? "" : " --component " + component) +
                              " > '" + dir / "install.out" + "' 2>&1";
  return std::system(command.c_str()) == 0 ? "" : ReadFile(dir / "install.out");
}

// Nanoseconds of the last change of everything under a folder, summed
// (wrapping): any file written again changes it.
uint64_t ChangeTimes(const std::string& folder) {
  uint64_t sum = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    struct stat st {};
    if (lstat(entry.path().c_str(), &st) == 0)
      sum += static_cast<uint64_t>(st.st_mtim.tv_sec) * 1000000000u + static_cast<uint64_t>(st.st_mtim.tv_nsec);
  }
  return sum;
}

TEST(Installed, ThePackagesDesktopFilesValidateAndTheServerInstallsAlone) {
  if (!OnPath("cmake")) GTEST_SKIP() << "cmake is not installed";
  const std::string generated = std::string(VORNAX_BINARY_DIR) + "/dist/generated";
  if (!ClientBuilt() || !FileExists(generated + "/stamp")) GTEST_SKIP() << "game not built";
  TempDir dir;
  const uint64_t before = ChangeTimes(generated);
  ASSERT_EQ(Install(dir, dir / "all"), "");
  EXPECT_EQ(ChangeTimes(generated), before) << "installing generated assets again";
  const std::string share = dir / "all/opt/vnx/share";
  const std::string desktop = share + "/applications/org.vornaxdm.vornaxdm.desktop";
  const std::string metainfo = share + "/metainfo/org.vornaxdm.vornaxdm.metainfo.xml";
  EXPECT_EQ(ReadFile(share + "/icons/hicolor/256x256/apps/vornaxdm.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_NE(ReadFile(desktop).find("\nIcon=vornaxdm\n"), std::string::npos);
  std::string remarks;
  if (OnPath("desktop-file-validate")) {
    EXPECT_EQ(RunProgram("/usr/bin/env", {"desktop-file-validate", desktop}, remarks), 0) << remarks;
    EXPECT_EQ(remarks, "");
  }
  if (OnPath("appstreamcli")) {
    EXPECT_EQ(RunProgram("/usr/bin/env", {"appstreamcli", "validate", "--no-net", metainfo}, remarks), 0) << remarks;
  }

  // Every option --help names is in the manual page too.
  for (const char* program : {"vornaxdm", "vornaxdm_server"}) {
    std::string help, page = ReadFile(share + "/man/man6/" + program + ".6");
    for (size_t at = page.find("\\-"); at != std::string::npos; at = page.find("\\-", at)) page.erase(at, 1);
    ASSERT_EQ(RunProgram(BinaryPath(program), {"--help"}, help), 0);
    static const std::regex option("(^|[ ,|\\[])(--?[a-z][a-z-]*)");
    for (std::sregex_iterator m(help.begin(), help.end(), option), end; m != end; ++m)
      EXPECT_NE(page.find((*m)[2].str()), std::string::npos) << program << ": " << (*m)[2];
  }

  // The server component alone: the server, its page and unit, nothing of the game.
  ASSERT_EQ(Install(dir, dir / "server", "server"), "");
  const std::string server = dir / "server/opt/vnx";
  for (const char* file : {"bin/vornaxdm_server", "share/man/man6/vornaxdm_server.6", "share/doc/vornaxdm/LICENSE"})
    EXPECT_TRUE(FileExists(server + "/" + file)) << file;
  EXPECT_NE(ReadFile(server + "/lib/systemd/system/vornaxdm-server@.service").find("\nExecStart=/opt/vnx/bin/vornaxdm_server "),
            std::string::npos);
  for (const char* file : {"bin/vornaxdm", "share/vornaxdm/sprites", "share/applications"})
    EXPECT_FALSE(FileExists(server + "/" + file)) << file;
}

TEST(Installed, AStagedInstallationPlaysFromThePlayersOwnFolder) {
  for (const char* program : {"Xvfb", "xdotool", "cmake"})
    if (!OnPath(program)) GTEST_SKIP() << program << " is not installed";
  for (const char* binary : {"vornaxdm", "vornaxdm_server", "assetgen"})
    if (!FileExists(BinaryPath(binary))) GTEST_SKIP() << binary << " not built";
  TempDir dir;
  const std::string stage = dir / "stage";
  ASSERT_EQ(Install(dir, stage), "");
  const std::string prefix = stage + "/opt/vnx";
  for (const char* file : {"bin/vornaxdm", "bin/vornaxdm_server", "share/vornaxdm/maps/arena.vnxm",
                           "share/vornaxdm/maps/fortress.vnxm", "share/vornaxdm/sprites/wA.bmp",
                           "share/vornaxdm/sounds/snd_chat.wav", "share/man/man6/vornaxdm.6",
                           "share/man/man6/vornaxdm_server.6", "share/applications/org.vornaxdm.vornaxdm.desktop",
                           "share/doc/vornaxdm/LICENSE"})
    EXPECT_TRUE(FileExists(prefix + "/" + file)) << file;
  EXPECT_NE(ReadFile(prefix + "/share/applications/org.vornaxdm.vornaxdm.desktop").find("\nExec=vornaxdm\n"),
            std::string::npos);

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
  std::filesystem::create_directories(dir / "pictures");
  game.env = {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "ALSOFT_DRIVERS=null", "HOME=" + dir / "home",
              "XDG_DATA_HOME=", "XDG_CONFIG_HOME=", "XDG_PICTURES_DIR=" + dir / "pictures",
              "ASAN_OPTIONS=detect_leaks=0"};
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
    shot = WaitFor([&] { return FileExists(dir / "pictures/VnxDMScrShot0.bmp"); }, 10000);
  }
  EXPECT_TRUE(shot);
  game.signal(SIGTERM);  // quits as the menu's Quit does
  EXPECT_EQ(game.wait(kPatience), 0) << ReadFile(dir / "game.out");
  EXPECT_EQ(server.stop(), 0);
  xvfb.stop();

  // Everything the game wrote is in the player's folders (the data folder
  // links the shipped data); nothing lands beside the binaries or in the
  // folder the game was started from.
  EXPECT_TRUE(FileExists(dir / "home/.config/vornaxdm/config.cfg"));
  EXPECT_FALSE(FileExists(folder + "/config.cfg"));
  for (const char* name : {"sprites", "sounds", "maps"}) EXPECT_TRUE(IsLink(folder + "/" + name)) << name;
  EXPECT_TRUE(FileExists(folder + "/sprites/wA.bmp"));
  EXPECT_FALSE(FileExists(prefix + "/bin/config.cfg"));
  EXPECT_FALSE(FileExists(dir / "elsewhere/config.cfg"));
  EXPECT_FALSE(FileExists(dir / "elsewhere/outlog.txt"));
  EXPECT_TRUE(FileExists(dir / "elsewhere/labels.txt"));  // a file named on the command line stays where meant

  // With XDG_DATA_HOME and XDG_CONFIG_HOME the folders are made there, on
  // the way too; a config.cfg an older version left in the data folder
  // moves to the configuration folder, once.
  ASSERT_TRUE(WriteFile(dir / "xdg/data/vornaxdm/config.cfg", "name=Oldtimer\n"));
  ChildProcess headless;
  headless.env = {"SDL_VIDEODRIVER=dummy", "ALSOFT_DRIVERS=null", "HOME=" + dir / "home",
                  "XDG_DATA_HOME=" + dir / "xdg/data", "XDG_CONFIG_HOME=" + dir / "xdg/config"};
  ASSERT_TRUE(headless.start(prefix + "/bin/vornaxdm", {"--frames", "5"}, dir / "elsewhere", dir / "headless.out"));
  EXPECT_EQ(headless.wait(kPatience), 0) << ReadFile(dir / "headless.out");
  EXPECT_NE(ReadFile(dir / "xdg/config/vornaxdm/config.cfg").find("name=Oldtimer"), std::string::npos);
  EXPECT_FALSE(FileExists(dir / "xdg/data/vornaxdm/config.cfg"));
  EXPECT_TRUE(FileExists(dir / "xdg/data/vornaxdm/sounds/snd_chat.wav"));
}

}  // namespace
