// vornaxdm: the windowed game client.
//
//   vornaxdm [--connect HOST[:PORT]]
//
// --connect does at start-up what typing the address and port into the menu
// and choosing Connect does. For tests: --frames N quits after N frames, and
// --dump-labels FILE writes every label's visibility and caption at exit.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "client/core/frame.h"
#include "client/core/labels.h"
#include "client/core/session.h"
#include "client/presentation/audio.h"
#include "client/presentation/platform_sdl.h"

namespace {

struct Options {
  std::string connect;
  std::string dump_labels;
  long frames = 0;
};

Options ReadOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--connect") == 0) o.connect = argv[i + 1];
    if (std::strcmp(argv[i], "--frames") == 0) o.frames = std::strtol(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--dump-labels") == 0) o.dump_labels = argv[i + 1];
  }
  return o;
}

// One line per label: name, 1 or 0 for visible, the caption with its line
// breaks shown as " | ".
void DumpLabels(const std::string& path) {
  const struct {
    const char* name;
    const Label& label;
  } labels[] = {{"l_mcpt", l_mcpt}, {"l_mvar", l_mvar},       {"l_mval", l_mval}, {"l_log", l_log},
                {"l_chat", l_chat}, {"l_fps", l_fps},         {"l_anon", l_anon}, {"l_sb_stat", l_sb_stat},
                {"l_sb_s", l_sb_s}, {"l_sb_p", l_sb_p},       {"l_sb_n", l_sb_n}, {"l_sb_ts", l_sb_ts}};
  std::ofstream out(path);
  for (const auto& l : labels) {
    std::string caption;
    for (char c : l.label.caption) caption += c == '\r' ? std::string(" | ") : std::string(1, c);
    out << l.name << ' ' << (l.label.visible ? 1 : 0) << ' ' << caption << '\n';
  }
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ReadOptions(argc, argv);
  if (!SdlOpenWindow()) return 1;
  StartUp();                 // FormCreate
  if (!options.connect.empty()) ConnectFromArgument(options.connect);
  SdlRunFrames(options.frames);
  if (!options.dump_labels.empty()) DumpLabels(options.dump_labels);
  Shutdown();                // FormDestroy: harmless after the menu's Quit
  CloseAudio();              // lets the sound device finish what it was writing
  SdlCloseWindow();
  return 0;
}
