// vornaxdm: the windowed game client.
//
//   vornaxdm [--connect HOST[:PORT]]
//
// --connect does at start-up what typing the address and port into the menu
// and choosing Connect does. (--frames N, for tests, quits after N frames.)
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/core/frame.h"
#include "client/core/session.h"
#include "client/presentation/platform_sdl.h"

namespace {

struct Options {
  std::string connect;
  long frames = 0;
};

Options ReadOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--connect") == 0) o.connect = argv[i + 1];
    if (std::strcmp(argv[i], "--frames") == 0) o.frames = std::strtol(argv[i + 1], nullptr, 10);
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ReadOptions(argc, argv);
  if (!SdlOpenWindow()) return 1;
  StartUp();                 // FormCreate
  if (!options.connect.empty()) ConnectFromArgument(options.connect);
  SdlRunFrames(options.frames);
  Shutdown();                // FormDestroy: harmless after the menu's Quit
  SdlCloseWindow();
  return 0;
}
