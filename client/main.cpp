// vornaxdm: the windowed game client.
//
//   vornaxdm [--connect HOST[:PORT]]
//   vornaxdm --list [HOST[:PORT]...]
//   vornaxdm --help | -h | --version
//
// --connect does at start-up what typing the address and port into the menu
// and choosing Connect does, except that HOST may be a name and that the
// server it names is not saved in config.cfg. --list prints the server
// list (the LAN and the saved server when no server is named) and exits
// without opening a window. For tests: --frames N quits
// after N frames; --dump-labels FILE writes every label's visibility and
// caption once a second and at exit; --walk-circles DEGREES joins the game
// and walks forward, turning that many degrees every frame.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "client/core/client_state.h"
#include "client/core/connection.h"
#include "client/core/input.h"
#include "client/core/labels.h"
#include "client/core/platform.h"
#include "client/core/server_list.h"
#include "client/core/session.h"
#include "client/core/user_folder.h"
#include "client/frame/frame.h"
#include "client/presentation/audio.h"
#include "client/presentation/platform_sdl.h"
#include "protocol/messages.h"

namespace {

constexpr const char* kUsage =
    "Usage: vornaxdm [--connect HOST[:PORT]]\n"
    "       vornaxdm --list [HOST[:PORT]...]\n"
    "       vornaxdm --help | -h | --version\n"
    "\n"
    "vornaxdm, the networked first-person deathmatch game. It opens its window\n"
    "with the menu, which connects to the server in its settings.\n"
    "\n"
    "  --connect HOST[:PORT]  connect at start-up to this server: a name or an\n"
    "                         IPv4 address, and its UDP port (without one, the\n"
    "                         port in the settings, 10666 by default); the\n"
    "                         server in config.cfg stays as it was\n"
    "  --list [HOST[:PORT]...]\n"
    "                         print name, map, players and ping of these\n"
    "                         servers (without any: the saved server and the\n"
    "                         local network) and exit, without a window\n"
    "  -h, --help             show this summary and exit\n"
    "  --version              show the version and the protocol versions and exit\n"
    "\n"
    "Settings are kept in config.cfg, problems logged in outlog.txt and\n"
    "screenshots (F12) saved as VnxDMScrShot<n>.bmp, in the folder the game runs\n"
    "from; installed, in $XDG_DATA_HOME/vornaxdm (~/.local/share/vornaxdm).\n"
    "Without a display (DISPLAY or WAYLAND_DISPLAY) the game does not start;\n"
    "SDL_VIDEODRIVER chooses the video driver.\n";

enum class Request { Play, Help, Version };

// --help, -h and --version stand where an option stands: first, or after
// another option's value.
Request ReadRequest(int argc, char** argv) {
  for (int i = 1; i < argc; i += 2) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return Request::Help;
    if (std::strcmp(argv[i], "--version") == 0) return Request::Version;
  }
  return Request::Play;
}

struct Options {
  std::string connect;
  std::string dump_labels;
  long frames = 0;
  float walk_turn = 0;
  bool walk = false;
};

Options options;

Options ReadOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--connect") == 0) o.connect = argv[i + 1];
    if (std::strcmp(argv[i], "--frames") == 0) o.frames = std::strtol(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--dump-labels") == 0) o.dump_labels = argv[i + 1];
    if (std::strcmp(argv[i], "--walk-circles") == 0) {
      o.walk = true;
      o.walk_turn = std::strtof(argv[i + 1], nullptr);
    }
  }
  // The working directory may change to the player's folder: a file named
  // on the command line stays the one meant.
  char absolute[PATH_MAX];
  if (!o.dump_labels.empty() && o.dump_labels[0] != '/' && getcwd(absolute, sizeof absolute))
    o.dump_labels = std::string(absolute) + "/" + o.dump_labels;
  return o;
}

// One line per label: name, 1 or 0 for visible, the caption with its line
// breaks shown as " | ", then " @ " and the box: left, top, width, height;
// last a line "client W H" with the size the labels are laid out in.
// Written beside the file and renamed over it, so a reader never sees half
// of it.
void DumpLabels(const std::string& path) {
  const struct {
    const char* name;
    const Label& label;
  } labels[] = {{"l_mcpt", l_mcpt}, {"l_mvar", l_mvar},       {"l_mval", l_mval}, {"l_log", l_log},
                {"l_chat", l_chat}, {"l_fps", l_fps},         {"l_anon", l_anon}, {"l_sb_stat", l_sb_stat},
                {"l_sb_s", l_sb_s}, {"l_sb_p", l_sb_p},       {"l_sb_n", l_sb_n}, {"l_sb_ts", l_sb_ts}};
  const std::string part = path + ".part";
  {
    std::ofstream out(part);
    for (const auto& l : labels) {
      std::string caption;
      for (char c : l.label.caption) caption += c == '\r' ? std::string(" | ") : std::string(1, c);
      out << l.name << ' ' << (l.label.visible ? 1 : 0) << ' ' << caption << " @ " << l.label.left << ' '
          << l.label.top << ' ' << l.label.width << ' ' << l.label.height << '\n';
    }
    int w = 0, h = 0;
    PlatformClientSize(w, h);
    out << "client " << w << ' ' << h << '\n';
  }
  std::rename(part.c_str(), path.c_str());
}

// Joins the game with the join key and, once alive, holds forward while the
// view turns: a walk in circles for movement measurements.
void WalkInCircles() {
  static int frames_since_join_key = 100;
  ++frames_since_join_key;
  FormKeyUp(cfg.key_specjoin);
  if (conn_state != CS_CONNECTED || awaiting_info) return;
  const uint8_t state = players[my_slot].state;
  if (state == PS_SPECTATOR && frames_since_join_key >= 100) {
    FormKeyDown(cfg.key_specjoin);
    frames_since_join_key = 0;
  }
  if (state < PS_ALIVE || health == 0) return;
  if (key_state[cfg.key_forward] == 0) FormKeyDown(cfg.key_forward);
  view_angle += options.walk_turn;
  while (view_angle >= 360) view_angle -= 360;
  while (view_angle < 0) view_angle += 360;
}

void BeforeFrame() {
  static long frames = 0;
  if (options.walk) WalkInCircles();
  if (!options.dump_labels.empty() && ++frames % 33 == 0) DumpLabels(options.dump_labels);
}

}  // namespace

int main(int argc, char** argv) {
  switch (ReadRequest(argc, argv)) {
    case Request::Help:
      std::fputs(kUsage, stdout);
      return 0;
    case Request::Version:
      std::printf("vornaxdm %s, protocol versions %d and %d\n", VORNAX_VERSION, PROTOCOL_VERSION, PROTOCOL_SESSIONS);
      return 0;
    case Request::Play:
      break;
  }
  options = ReadOptions(argc, argv);
  std::string error;
  if (!EnterUserFolder(error)) {
    std::fprintf(stderr, "vornaxdm: %s\n", error.c_str());
    return 1;
  }
  // --list and the servers after it: the table on standard output, no window.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--list") != 0) continue;
    std::string out, err;
    const int code = RunServerListCommand(std::vector<std::string>(argv + i + 1, argv + argc), out, err);
    std::fputs(out.c_str(), stdout);
    std::fputs(err.c_str(), stderr);
    return code;
  }
  if (!SdlOpenWindow()) return 1;
  StartUp();                 // FormCreate
  if (!options.connect.empty()) ConnectFromArgument(options.connect);
  SdlRunFrames(ClientFrame, options.frames, BeforeFrame);
  if (!options.dump_labels.empty()) DumpLabels(options.dump_labels);
  Shutdown();                // FormDestroy: harmless after the menu's Quit
  CloseAudio();              // lets the sound device finish what it was writing
  SdlCloseWindow();
  return 0;
}
