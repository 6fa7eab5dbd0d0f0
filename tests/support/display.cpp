#include "support/display.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <utility>

bool OnPath(const std::string& program) {
  return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[256];
  while (fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  return out;
}

namespace {

std::pair<int, int> DisplayRange() {
  int first = 90, last = 139;
  if (const char* range = std::getenv("VORNAX_TEST_DISPLAYS")) std::sscanf(range, "%d-%d", &first, &last);
  return {first, last};
}

}  // namespace

std::string StartXvfb(ChildProcess& xvfb, const std::string& dir, int screen_w, int screen_h) {
  const std::string size = std::to_string(screen_w) + "x" + std::to_string(screen_h);
  const std::string geometry = std::to_string(screen_w) + " " + std::to_string(screen_h);
  const auto [first, last] = DisplayRange();
  for (int n = first; n <= last; ++n) {
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
    if (FileExists(socket) || FileExists("/tmp/.X" + std::to_string(n) + "-lock")) continue;
    const std::string display = ":" + std::to_string(n);
    if (!xvfb.start("/usr/bin/Xvfb", {display, "-screen", "0", size + "x24", "-nolisten", "tcp"}, dir,
                    dir + "/xvfb.out"))
      continue;
    // Ready once it answers on its display; an Xvfb that lost the race ends.
    // Another test's Xvfb may answer on the same display meanwhile: the
    // display is ours only when its lock file names our Xvfb.
    const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
    const bool ready = WaitFor(
        [&] {
          return !xvfb.running() ||
                 RunCommand("DISPLAY=" + display + " xdotool getdisplaygeometry 2>/dev/null").find(geometry) !=
                     std::string::npos;
        },
        30000);
    if (ready && xvfb.running() && std::atoi(ReadFile(lock).c_str()) == xvfb.pid()) return display;
    xvfb.stop();
  }
  return "";
}

std::string WaitForGameWindow(const std::string& display, int timeout_ms) {
  std::string window;
  WaitFor(
      [&] {
        std::istringstream ids(
            RunCommand("DISPLAY=" + display + " xdotool search --name 'Vornax : DeathMatch' 2>/dev/null"));
        ids >> window;
        return !window.empty();
      },
      timeout_ms);
  return window;
}

std::string LabelLine(const std::string& dump, const std::string& name) {
  std::istringstream in(dump);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(name + " ", 0) == 0) return line;
  return "";
}
