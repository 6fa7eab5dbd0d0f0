// The game as a player meets it: a real server with bots on a shipped map,
// the real client in a real X window (Xvfb), driven by real key and mouse
// events (xdotool), its sound captured by OpenAL Soft's wave writer.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include "support/display.h"
#include "support/process.h"

namespace {

struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

uint32_t Le32(const std::string& s, size_t at) {
  return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 | uint32_t(uint8_t(s[at + 2])) << 16 |
         uint32_t(uint8_t(s[at + 3])) << 24;
}
uint16_t Le16(const std::string& s, size_t at) { return uint16_t(uint8_t(s[at]) | uint8_t(s[at + 1]) << 8); }

// The game's screenshots are plain uncompressed 24- or 32-bit bitmaps.
bool ReadBmp(const std::string& path, Picture& pic) {
  std::string f = ReadFile(path);
  if (f.size() < 54 || f[0] != 'B' || f[1] != 'M') return false;
  uint32_t offset = Le32(f, 10);
  int32_t w = static_cast<int32_t>(Le32(f, 18)), h = static_cast<int32_t>(Le32(f, 22));
  int bpp = Le16(f, 28);
  if (w <= 0 || h == 0 || (bpp != 24 && bpp != 32)) return false;
  bool bottom_up = h > 0;
  h = std::abs(h);
  size_t stride = (static_cast<size_t>(w) * (bpp / 8) + 3) & ~size_t(3);
  if (offset + stride * h > f.size()) return false;
  pic.width = w;
  pic.height = h;
  pic.pixels.resize(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    size_t row = offset + stride * (bottom_up ? h - 1 - y : y);
    for (int x = 0; x < w; ++x) {
      size_t p = row + static_cast<size_t>(x) * (bpp / 8);
      pic.pixels[static_cast<size_t>(y) * w + x] = uint32_t(uint8_t(f[p])) | uint32_t(uint8_t(f[p + 1])) << 8 |
                                                   uint32_t(uint8_t(f[p + 2])) << 16;
    }
  }
  return true;
}

size_t DistinctColours(const Picture& pic, int top, int bottom) {
  std::set<uint32_t> colours;
  for (int y = top; y < bottom; ++y)
    for (int x = 0; x < pic.width; ++x) colours.insert(pic.at(x, y));
  return colours.size();
}

// Loudest sample of a wave file as OpenAL Soft writes it (PCM 8/16/32-bit or
// 32-bit float), as a fraction of full scale.
double PeakLevel(const std::string& path) {
  std::string f = ReadFile(path);
  if (f.size() < 44) return 0;
  uint16_t format = 0, bits = 0;
  size_t data = 0, data_size = 0;
  for (size_t at = 12; at + 8 <= f.size();) {
    std::string id = f.substr(at, 4);
    size_t size = Le32(f, at + 4);
    if (id == "fmt ") {
      format = Le16(f, at + 8);
      bits = Le16(f, at + 22);
    }
    if (id == "data") {
      data = at + 8;
      data_size = f.size() - data;  // a writer that was cut short leaves the size unset
      break;
    }
    at += 8 + size;
  }
  if (!data) return 0;
  double peak = 0;
  if (format == 0xFFFE) format = bits == 32 ? 3 : 1;  // extensible: float or PCM by size
  for (size_t p = data; p + bits / 8 <= data + data_size; p += bits / 8) {
    double v = 0;
    if (format == 3 && bits == 32) {
      float fl;
      uint32_t u = Le32(f, p);
      std::memcpy(&fl, &u, 4);
      v = fl;
    } else if (bits == 16) {
      v = int16_t(Le16(f, p)) / 32768.0;
    } else if (bits == 32) {
      v = int32_t(Le32(f, p)) / 2147483648.0;
    } else if (bits == 8) {
      v = (uint8_t(f[p]) - 128) / 128.0;
    }
    peak = std::max(peak, std::abs(v));
  }
  return peak;
}

class Xdo {
 public:
  Xdo(std::string display, std::string window) : display_(std::move(display)), window_(std::move(window)) {}
  void operator()(const std::string& args) const {
    RunCommand("DISPLAY=" + display_ + " xdotool " + args + " 2>/dev/null");
  }
  // Keys go through the X test extension to the focused window, as a
  // keyboard's would.
  void key(const std::string& name) const { (*this)("windowfocus --sync " + window_ + " key " + name); }
  void hold(const std::string& name, int ms) const {
    (*this)("windowfocus --sync " + window_ + " keydown " + name);
    SleepMs(ms);
    (*this)("keyup " + name);
  }
  // Presses the key until done() holds, waiting `patience_ms` in all and up
  // to 10 s after each press: a key the busy window system lost is pressed
  // again, one that arrived is not.
  template <typename Done>
  bool press(const std::string& name, Done done, int patience_ms) const {
    const long long deadline = NowMs() + patience_ms;
    while (NowMs() < deadline) {
      key(name);
      if (WaitFor(done, static_cast<int>(std::min<long long>(10000, deadline - NowMs())))) return true;
    }
    return false;
  }

 private:
  std::string display_, window_;
};

// Starts the game on `display` in `dir`, connected to the local server on
// `port` and dumping its labels to labels.txt; the id of its window, ""
// when none opened (or the game did not start) within `patience_ms`.
std::string StartGameWindow(ChildProcess& client, const std::string& display, std::vector<std::string> env,
                            uint16_t port, const std::string& dir, int patience_ms) {
  env.push_back("DISPLAY=" + display);
  env.push_back("SDL_VIDEODRIVER=x11");
  client.env = std::move(env);
  if (!client.start(BinaryPath("vornaxdm"),
                    {"--connect", "127.0.0.1:" + std::to_string(port), "--dump-labels", dir + "/labels.txt"}, dir,
                    dir + "/client.out"))
    return "";
  return WaitForGameWindow(display, patience_ms);
}

TEST(Window, AJoinedPlayerWalksFiresAndSeesTheGame) {
  for (const char* program : {"Xvfb", "xdotool"})
    if (!OnPath(program)) GTEST_SKIP() << program << " is not installed";
  for (const char* binary : {"vornaxdm", "vornaxdm_server", "assetgen"})
    if (!FileExists(BinaryPath(binary))) GTEST_SKIP() << binary << " not built";

  TempDir dir;
  const std::string& d = dir.path();
  ASSERT_EQ(std::system((BinaryPath("assetgen") + " " + d + " >/dev/null").c_str()), 0);
  std::filesystem::copy(std::string(VORNAX_SOURCE_DIR) + "/maps", d + "/maps");
  // One missing sound: the client must say so in outlog.txt.
  std::filesystem::remove(d + "/sounds/snd_chat.wav");
  WriteFile(d + "/alsoft.conf", "[general]\ndrivers=wave\n[wave]\nfile=" + d + "/sound.wav\n");

  ChildProcess xvfb;
  const std::string display = StartXvfb(xvfb, d);
  ASSERT_FALSE(display.empty()) << "no X display could be started";
  ChildProcess server;
  const uint16_t port =
      StartServer(server, {"-port", "0", "-map", "arena", "-bots", "2", "-name", "Window Test Server"}, d);
  ASSERT_NE(port, 0);

  ChildProcess client;
  // Every wait is for what the next step needs, with room for a busy machine.
  constexpr int kPatience = 60000;
  const std::string window =
      StartGameWindow(client, display, {"ALSOFT_DRIVERS=wave", "ALSOFT_CONF=" + d + "/alsoft.conf"}, port, d, kPatience);
  ASSERT_FALSE(window.empty()) << ReadFile(d + "/client.out");
  Xdo xdo(display, window);
  xdo("windowfocus --sync " + window);
  // The labels are written once a second: the game information is in.
  auto label = [&](const std::string& name) { return LabelLine(ReadFile(d + "/labels.txt"), name); };
  ASSERT_TRUE(WaitFor([&] { return label("l_sb_stat").find("server name: Window Test Server") != std::string::npos; },
                      kPatience))
      << ReadFile(d + "/labels.txt");

  ASSERT_TRUE(xdo.press(  // join the game
      "g", [&] { return server.output().find("VornaxPlayer has joined the game!") != std::string::npos; },
      kPatience))
      << server.output();
  // The client shows the same line (bots' kills may push it out later).
  ASSERT_TRUE(WaitFor([&] { return label("l_log").find("VornaxPlayer has joined the game!") != std::string::npos; },
                      kPatience))
      << ReadFile(d + "/labels.txt");
  xdo.hold("w", 800);  // walk
  xdo("mousemove_relative -- 120 0");
  for (int shot = 0; shot < 4; ++shot) {  // fire (respawning first if a bot got us)
    xdo("mousedown 1");
    SleepMs(350);
    xdo("mouseup 1");
    SleepMs(150);
  }
  // The game's own screenshot.
  ASSERT_TRUE(xdo.press("F12", [&] { return FileExists(d + "/VnxDMScrShot0.bmp"); }, kPatience));
  // The menu opens on "Quit game".
  ASSERT_TRUE(xdo.press("Escape", [&] { return label("l_mvar").rfind("l_mvar 1 +Quit game", 0) == 0; }, kPatience))
      << ReadFile(d + "/labels.txt");
  // It ends (under the sanitizers with status 1: system libraries' leaks).
  EXPECT_TRUE(xdo.press("Return", [&] { return client.wait(0) != -1; }, kPatience))
      << "the client did not quit from its menu";
  EXPECT_EQ(server.stop(), 0);
  xvfb.stop();

  // The screenshot shows a textured 3D view with the HUD panel below it.
  Picture shot;
  ASSERT_TRUE(ReadBmp(d + "/VnxDMScrShot0.bmp", shot));
  EXPECT_EQ(shot.width, 800);
  EXPECT_EQ(shot.height, 600);
  // A player facing a plain stone wall sees about 950 colours; a flat view a few dozen.
  EXPECT_GT(DistinctColours(shot, 0, shot.height), 500u) << "not a textured view";
  EXPECT_GT(DistinctColours(shot, shot.height / 4, shot.height * 3 / 4), 300u) << "no textured walls";
  Picture panel;
  ASSERT_TRUE(ReadBmp(d + "/sprites/hudpanel.bmp", panel));
  // The panel, stretched by 800/320, fills the bottom: its average colour
  // matches the picture's (the numbers and icons on it are small).
  int panel_top = (240 - panel.height) * shot.height / 240;
  for (int shift : {0, 8, 16}) {
    double in_file = 0, on_screen = 0;
    for (uint32_t p : panel.pixels) in_file += p >> shift & 0xFF;
    for (int y = panel_top; y < shot.height; ++y)
      for (int x = 0; x < shot.width; ++x) on_screen += shot.at(x, y) >> shift & 0xFF;
    in_file /= panel.pixels.size();
    on_screen /= double(shot.height - panel_top) * shot.width;
    EXPECT_NEAR(in_file, on_screen, 16) << "HUD panel not at the bottom";
  }

  // The labels at exit still carry the server's name.
  std::string labels = ReadFile(d + "/labels.txt");
  EXPECT_NE(LabelLine(labels, "l_sb_stat").find("server name: Window Test Server"), std::string::npos) << labels;

  // outlog.txt: "dd.mm.yyyy hh:mm:ss text" lines ended by CR LF.
  std::string outlog = ReadFile(d + "/outlog.txt");
  EXPECT_NE(outlog.find("sounds/snd_chat.wav not found!\r\n"), std::string::npos) << outlog;
  static const std::regex log_line(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d [^\r\n]+\r)");
  std::istringstream lines(outlog);
  for (std::string line; std::getline(lines, line);) EXPECT_TRUE(std::regex_match(line, log_line)) << line;

  // config.cfg: every key in its order, CR LF.
  const std::string config = ReadFile(d + "/config.cfg");
  static const std::regex config_text(
      "name=VornaxPlayer\r\nteam=0\r\nms=100\r\nsv=100\r\nmf=87\r\nmb=83\r\nsl=65\r\nsr=68\r\nat=1\r\njs=71\r\n"
      "ch=84\r\ng1=49\r\ng2=50\r\ng3=51\r\ng4=52\r\ng5=53\r\nscr=123\r\nsvip=127\\.0\\.0\\.1\r\nsvport=[0-9]+\r\n"
      "ww=800\r\nfscr=0\r\n");
  EXPECT_TRUE(std::regex_match(config, config_text)) << config;

  // Shots were heard.
  EXPECT_GT(PeakLevel(d + "/sound.wav"), 0.02) << "the captured sound is silent";
}

// The window's size as the window system has it.
std::string WindowSize(const std::string& display, const std::string& window) {
  static const std::regex geometry(R"(Geometry: (\d+x\d+))");
  std::smatch m;
  const std::string out = RunCommand("DISPLAY=" + display + " xdotool getwindowgeometry " + window + " 2>/dev/null");
  return std::regex_search(out, m, geometry) ? m[1].str() : "";
}

// A column of the picture that holds this colour only.
bool ColumnIs(const Picture& pic, int x, uint32_t colour) {
  for (int y = 0; y < pic.height; ++y)
    if (pic.at(x, y) != colour) return false;
  return true;
}

TEST(Window, FullscreenKeepsTheFourByThreePictureBetweenBarsAndGivesTheWindowBack) {
  for (const char* program : {"Xvfb", "xdotool"})
    if (!OnPath(program)) GTEST_SKIP() << program << " is not installed";
  for (const char* binary : {"vornaxdm", "vornaxdm_server", "assetgen"})
    if (!FileExists(BinaryPath(binary))) GTEST_SKIP() << binary << " not built";
  TempDir dir;
  const std::string& d = dir.path();
  ASSERT_EQ(std::system((BinaryPath("assetgen") + " " + d + " >/dev/null").c_str()), 0);
  std::filesystem::copy(std::string(VORNAX_SOURCE_DIR) + "/maps", d + "/maps");

  // A wide screen: the 4:3 picture gets bars left and right.
  ChildProcess xvfb;
  const std::string display = StartXvfb(xvfb, d, 1280, 720);
  ASSERT_FALSE(display.empty()) << "no X display could be started";
  ChildProcess server;  // no bots: only the mouse changes the picture
  const uint16_t port = StartServer(server, {"-port", "0", "-map", "arena", "-bots", "0"}, d);
  ASSERT_NE(port, 0);
  ChildProcess client;
  constexpr int kPatience = 60000;
  const std::string window = StartGameWindow(client, display, {"ALSOFT_DRIVERS=null"}, port, d, kPatience);
  ASSERT_FALSE(window.empty()) << ReadFile(d + "/client.out");
  Xdo xdo(display, window);
  auto labels = [&] { return ReadFile(d + "/labels.txt"); };
  ASSERT_TRUE(WaitFor([&] { return LabelLine(labels(), "l_sb_stat").find("map: arena") != std::string::npos; },
                      kPatience))
      << labels();
  ASSERT_TRUE(WaitFor([&] { return WindowSize(display, window) == "800x600"; }, kPatience));

  // Alt+Enter: the whole screen, the labels laid out on the 960 x 720 picture.
  ASSERT_TRUE(xdo.press(
      "alt+Return", [&] { return labels().find("\nclient 960 720\n") != std::string::npos; }, kPatience))
      << labels() << ReadFile(d + "/client.out");
  EXPECT_TRUE(WaitFor([&] { return WindowSize(display, window) == "1280x720"; }, kPatience))
      << WindowSize(display, window);
  auto shot_name = [&](int n) { return d + "/VnxDMScrShot" + std::to_string(n) + ".bmp"; };
  Picture full;
  ASSERT_TRUE(xdo.press("F12", [&] { return ReadBmp(shot_name(0), full); }, kPatience));
  // The mouse still turns the view. The window system may hand the motion
  // over after the frame that takes the next picture, so move and look again
  // until a picture shows it.
  bool view_changed = false;
  int shots = 1;
  for (; shots <= 5 && !view_changed; ++shots) {
    // Right and back a little in turn: the pointer stays inside the screen
    // and away from where it started.
    xdo(shots % 2 == 1 ? "mousemove_relative -- 300 0" : "mousemove_relative -- -200 0");
    Picture turned;
    ASSERT_TRUE(xdo.press("F12", [&] { return ReadBmp(shot_name(shots), turned); }, kPatience));
    // The middle of the view, away from every label.
    for (int y = 300; y < 450; ++y)
      for (int x = 500; x < 1000; ++x) view_changed |= full.at(x, y) != turned.at(x, y);
  }
  EXPECT_TRUE(view_changed) << "the mouse did not turn the view";
  // F11: back to the window as it was.
  ASSERT_TRUE(
      xdo.press("F11", [&] { return labels().find("\nclient 800 600\n") != std::string::npos; }, kPatience))
      << labels();
  EXPECT_TRUE(WaitFor([&] { return WindowSize(display, window) == "800x600"; }, kPatience))
      << WindowSize(display, window);
  Picture windowed;
  ASSERT_TRUE(xdo.press("F12", [&] { return ReadBmp(shot_name(shots), windowed); }, kPatience));
  client.stop();
  EXPECT_EQ(server.stop(), 0);
  xvfb.stop();

  ASSERT_EQ(full.width, 1280);
  ASSERT_EQ(full.height, 720);
  // Black bars of 160 columns each side, the picture between them.
  for (int x : {0, 80, 159, 1120, 1200, 1279}) EXPECT_TRUE(ColumnIs(full, x, 0)) << "column " << x;
  EXPECT_GT(DistinctColours(full, 0, 720), 300u) << "no textured view in fullscreen";
  for (int x : {160, 400, 640, 880, 1119}) EXPECT_FALSE(ColumnIs(full, x, 0)) << "column " << x;
  // The HUD text and labels are drawn at their own size: the log's first
  // line starts at the picture's left edge, white on the view.
  bool white_near_left = false;
  for (int y = 1; y < 14; ++y)
    for (int x = 161; x < 175; ++x) white_near_left |= full.at(x, y) == 0xFFFFFF;
  EXPECT_TRUE(white_near_left) << "the log is not at the picture's top left";
  EXPECT_EQ(windowed.width, 800);
  EXPECT_EQ(windowed.height, 600);
}

}  // namespace
