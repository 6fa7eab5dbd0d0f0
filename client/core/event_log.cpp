// The texts beside the 3D view: the event log on screen and in outlog.txt,
// announcements and the frame-rate label.
#include "client/core/event_log.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "client/core/client_state.h"
#include "client/core/labels.h"
#include "client/core/platform.h"
#include "client/core/scoreboard.h"
#include "client/core/session.h"
#include "protocol/rules.h"

namespace {

constexpr int kFpsFrames = 33;
constexpr uint8_t kAnnounceFrames = 99;
// The event log keeps the newest lines; a long game or a chatty server must
// not make it grow without end.
constexpr size_t kLogLinesKept = 1000;

uint32_t frame_time_total = 0;  // ms over the current run of 33 frames
uint32_t last_frame_time = 0;   // tick count at the previous frame

// "dd.mm.yyyy hh:mm:ss" of the current local time.
std::string Timestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &local);
  return text;
}

}  // namespace

void LogLine(const std::string& text) {
  // A log file that cannot be written loses the line there, not on screen.
  if (FILE* f = std::fopen("outlog.txt", "ab")) {
    const std::string line = Timestamp() + " " + text + "\r\n";
    std::fwrite(line.data(), 1, line.size(), f);
    std::fclose(f);
  }
  ShowLogLine(text);
}

void ShowLogLine(const std::string& text) {
  if (log_lines.size() >= kLogLinesKept) log_lines.erase(log_lines.begin());
  log_lines.push_back(text);
  RefreshLog();
}

void RefreshLog() {
  std::string caption;
  const int n = static_cast<int>(log_lines.size());
  if (n > 0) {
    const int newest = std::max(0, n - log_scroll - 1);
    const int oldest = std::max(0, newest - log_rows);
    for (int i = oldest; i <= newest; ++i) {
      caption += log_lines[static_cast<size_t>(i)];
      caption += CR;
    }
  }
  l_log.setCaption(caption);
  ScoreboardLayout();
}

void Announce(const std::string& text) {
  announce_timer = kAnnounceFrames;
  int w = 0, h = 0;
  PlatformClientSize(w, h);
  // A long name can make the line wider than a small window: then it is
  // set a size smaller.
  l_anon.font = FONT_ANNOUNCE;
  l_anon.setCaption(text);
  if (l_anon.width > w) {
    l_anon.font = FONT_ANNOUNCE_SMALL;
    l_anon.setCaption(text);
  }
  l_anon.left = w / 2 - l_anon.width / 2;
}

void ClearFrameClock() {
  frame_time_total = 0;
  last_frame_time = 0;
}

void ResetFrameClock() {
  frame_time_total = 0;
  last_frame_time = PlatformTicks();
}

void UpdateFps() {
  const uint32_t now = PlatformTicks();
  frame_time_total += now - last_frame_time;
  last_frame_time = now;
  if (++frame_counter < kFpsFrames) return;
  // A clock that did not move (33 frames inside one millisecond) must not
  // divide by zero.
  const double total = std::max<uint32_t>(frame_time_total, 1);
  const long fps = static_cast<long>(1033.0 / total * kFpsFrames);
  l_fps.setCaption(std::to_string(fps) + " v" + std::to_string(SessionVersion()));  // the protocol in use
  int w = 0, h = 0;
  PlatformClientSize(w, h);
  l_fps.left = w - l_fps.width;
  frame_time_total = 0;
  frame_counter = 0;
}
