#include "e2e/walk.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <sstream>
#include <vector>

#include "protocol/protocol.h"
#include "support/process.h"
#include "support/wire.h"

namespace {

// A hall of 28 by 28 open cells with one spawn point in the middle: a walk
// in circles of about 1.6 cells never meets a wall.
std::string OpenRoom() {
  std::string text = "555333\n";
  for (int r = 0; r < 30; ++r) {
    std::string row(30, r == 0 || r == 29 ? 'A' : ' ');
    row.front() = row.back() = 'A';
    if (r == 15) row[15] = '@';
    text += row + "\n";
  }
  return text;
}

constexpr double kTurnDegrees = 6;  // a circle every 60 frames

struct Input {
  long long ms;  // when the client sent it
  uint16_t dir, x, y;
};
struct OwnSnapshot {
  bool alive;
  uint16_t x, y;
  uint8_t ping;
  long long ms;  // when it was seen: sent by the server, or passed on to the client
};

uint16_t Word(const uint8_t* d, int at) { return static_cast<uint16_t>(d[at] | d[at + 1] << 8); }

// Where an input's fields lie in each version: version 29 puts the session
// token after the code byte and sends the newest frame after its
// acknowledgement, sequence and count.
struct Layout {
  int input_size_min, input_frame;
  bool version29;
};
constexpr Layout kLayout28{12, 1, false};
constexpr Layout kLayout29{23, 14, true};

bool ParseOwn(const uint8_t* d, int len, const Layout& l, OwnSnapshot& own) {
  const OwnEntry e = ReadOwnEntry(std::string(reinterpret_cast<const char*>(d), static_cast<size_t>(len)), l.version29);
  own = OwnSnapshot{e.alive, e.x, e.y, e.ping, NowMs()};
  return e.snapshot;
}

// What the relay sees of the walker (link 0): its inputs as they leave it,
// its snapshots as the server sent them and as they reach it.
class Recorder {
 public:
  void arrived(int link, bool to_server, const uint8_t* d, int len) {
    if (link != 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    // The game's latest connect says which version it speaks.
    if (to_server && len >= 2 && d[0] == MSG_CONNECT) layout_ = d[1] >= 29 ? &kLayout29 : &kLayout28;
    const int f = layout_->input_frame;
    if (to_server && len >= layout_->input_size_min && d[0] == MSG_INPUT)
      inputs_.push_back({NowMs(), Word(d, f + 2), Word(d, f + 5), Word(d, f + 7)});
    OwnSnapshot own;
    if (!to_server && ParseOwn(d, len, *layout_, own)) snapshots_.push_back(own);
  }
  void delivered(int link, bool to_server, const uint8_t* d, int len) {
    if (link != 0 || to_server) return;
    std::lock_guard<std::mutex> lock(mutex_);
    OwnSnapshot own;
    if (ParseOwn(d, len, *layout_, own)) delivered_.push_back(own);
  }
  size_t inputCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return inputs_.size();
  }
  size_t snapshotCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return snapshots_.size();
  }
  size_t deliveredCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return delivered_.size();
  }
  bool walking() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (snapshots_.empty() || !snapshots_.back().alive || inputs_.size() < 2) return false;
    const Input& a = inputs_[inputs_.size() - 2];
    const Input& b = inputs_.back();
    return a.x != b.x || a.y != b.y;
  }
  std::vector<Input> inputsFrom(size_t first) {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::vector<Input>(inputs_.begin() + static_cast<long>(first), inputs_.end());
  }
  std::vector<OwnSnapshot> snapshotsFrom(size_t first) {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::vector<OwnSnapshot>(snapshots_.begin() + static_cast<long>(first), snapshots_.end());
  }
  std::vector<OwnSnapshot> deliveredFrom(size_t first) {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::vector<OwnSnapshot>(delivered_.begin() + static_cast<long>(first), delivered_.end());
  }

 private:
  std::mutex mutex_;
  const Layout* layout_ = &kLayout28;
  std::vector<Input> inputs_;
  std::vector<OwnSnapshot> snapshots_, delivered_;
};

// How far an input lies from one walking step beyond the one before: 0 while
// the walk goes on, the distance between the abandoned place and the
// server's when the client started again from there.
double Deviation(const Input& before, const Input& in) {
  const double heading = in.dir * 0.0174532925;
  const int ex = before.x + static_cast<int>(11 * std::cos(static_cast<float>(heading)));
  const int ey = before.y + static_cast<int>(11 * std::sin(static_cast<float>(heading)));
  return std::hypot(in.x - ex, in.y - ey);
}

void CountSnaps(const std::vector<Input>& inputs, WalkFigures& f) {
  for (size_t i = 1; i < inputs.size(); ++i) {
    const Input& before = inputs[i - 1];
    if (inputs[i].x == before.x && inputs[i].y == before.y) {
      ++f.repeats;  // a step held back: the same place sent again
      continue;
    }
    const double d = Deviation(before, inputs[i]);
    if (d <= 2) continue;  // rounding of the heading
    ++f.snap_backs;
    f.longest_snap = std::max(f.longest_snap, d);
  }
}

// Runs of four or more inputs at one place: the walk stood although W was
// held (a step sent once or twice more, when it and its copy were lost, is
// the resend rule at work, not a stall).
void CountStalls(const std::vector<Input>& inputs, WalkFigures& f) {
  for (size_t start = 0; start < inputs.size();) {
    size_t end = start + 1;
    while (end < inputs.size() && inputs[end].x == inputs[start].x && inputs[end].y == inputs[start].y) ++end;
    const int run = static_cast<int>(end - start);
    if (run >= 4) ++f.stalls;
    f.longest_stall = std::max(f.longest_stall, run >= 4 ? run : 0);
    start = end;
  }
}

double Percentile(std::vector<double> v, double share) {
  if (v.empty()) return 0;
  const size_t k = std::min(v.size() - 1, static_cast<size_t>(share * static_cast<double>(v.size())));
  std::nth_element(v.begin(), v.begin() + static_cast<long>(k), v.end());
  return v[k];
}

// Whether a snapshot shows the walker at the place of input i or of one of
// the few after it (two inputs read in one tick show only the second).
bool ShowsFrom(const std::vector<Input>& inputs, size_t i, const OwnSnapshot& s) {
  for (size_t j = i; j < std::min(inputs.size(), i + 6); ++j)
    if (s.alive && s.x == inputs[j].x && s.y == inputs[j].y) return true;
  return false;
}

// For every new place sent: the time until a snapshot showing the walker
// there or further on reached the client (within 1 s; a refused place
// never comes back).
void CountConfirmations(const std::vector<Input>& inputs, const std::vector<OwnSnapshot>& delivered, WalkFigures& f) {
  std::vector<double> waits;
  size_t first = 0;
  for (size_t i = 1; i < inputs.size(); ++i) {
    const Input& in = inputs[i];
    if (in.x == inputs[i - 1].x && in.y == inputs[i - 1].y) continue;
    while (first < delivered.size() && delivered[first].ms < in.ms) ++first;
    for (size_t k = first; k < delivered.size() && delivered[k].ms < in.ms + 1000; ++k) {
      if (ShowsFrom(inputs, i, delivered[k])) {
        waits.push_back(static_cast<double>(delivered[k].ms - in.ms));
        break;
      }
    }
  }
  f.confirm_median_ms = Percentile(waits, 0.5);
  f.confirm_p95_ms = Percentile(waits, 0.95);
}

// The observer's trace between from_ms and to_ms: frames that drew the
// walker at the place of the frame before, and frames that drew it moving
// against its last motion.
void CountObserved(const std::string& trace, long long from_ms, long long to_ms, WalkFigures& f) {
  std::istringstream in(trace);
  bool have = false;
  double px = 0, py = 0, mx = 0, my = 0;
  int still = 0;
  for (std::string line; std::getline(in, line);) {
    long long ms = 0;
    double x = 0, y = 0;
    if (std::sscanf(line.c_str(), "%lld %lf %lf", &ms, &x, &y) != 3) {
      have = false;
      continue;
    }
    if (ms < from_ms || ms > to_ms) continue;
    if (have) {
      ++f.observed_frames;
      const double dx = x - px, dy = y - py;
      if (dx == 0 && dy == 0) {
        ++still;
      } else {
        if (dx * mx + dy * my < 0) ++f.observed_backwards;
        mx = dx;
        my = dy;
      }
    }
    have = true;
    px = x;
    py = y;
  }
  f.observed_still = f.observed_frames == 0 ? 0 : static_cast<double>(still) / f.observed_frames;
}

void CountFrozen(const std::vector<OwnSnapshot>& snaps, WalkFigures& f) {
  int frozen = 0;
  for (size_t start = 0; start < snaps.size();) {
    size_t end = start + 1;
    while (end < snaps.size() && snaps[end].x == snaps[start].x && snaps[end].y == snaps[start].y) ++end;
    if (end - start >= 4) frozen += static_cast<int>(end - start);
    start = end;
  }
  f.frozen_share = snaps.empty() ? 0 : static_cast<double>(frozen) / snaps.size();
  int still = 0;
  for (size_t i = 1; i < snaps.size(); ++i) still += snaps[i].x == snaps[i - 1].x && snaps[i].y == snaps[i - 1].y;
  f.server_still = snaps.size() < 2 ? 0 : static_cast<double>(still) / static_cast<double>(snaps.size() - 1);
  std::vector<uint8_t> pings;
  for (const OwnSnapshot& s : snaps) pings.push_back(s.ping);
  if (!pings.empty()) {
    std::nth_element(pings.begin(), pings.begin() + static_cast<long>(pings.size() / 2), pings.end());
    f.round_trip_ticks = pings[pings.size() / 2];
  }
}

// A process that keeps one core busy until the deadline, then ends by itself.
pid_t BusyCore(long long until_ms) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  volatile unsigned long spin = 0;
  while (NowMs() < until_ms) {
    for (int i = 0; i < 100000; ++i) spin = spin + 1;
  }
  _exit(0);
}

}  // namespace

WalkFigures MeasureWalk(const WalkRun& run, int seconds, uint32_t seed) {
  WalkFigures f;
  TempDir dir;
  WriteFile(dir / "maps/openroom.vnxm", OpenRoom());
  ChildProcess server;
  const uint16_t port = StartServer(server, {"-port", "0", "-map", "openroom", "-name", "Walk"}, dir.path());
  if (port == 0) return f;

  Recorder recorder;
  RelayTaps taps{[&recorder](int link, bool up, const uint8_t* d, int len) { recorder.arrived(link, up, d, len); },
                 [&recorder](int link, bool up, const uint8_t* d, int len) { recorder.delivered(link, up, d, len); },
                 nullptr};
  LossyRelay relay(port, run.observer ? 2 : 1, run.faults, seed, taps);
  const long frames = (seconds + 60) * 34L;  // each ends by itself should the test not stop it
  ChildProcess client, observer;
  client.env = observer.env = {"SDL_VIDEODRIVER=dummy", "ALSOFT_DRIVERS=null"};
  client.start(BinaryPath("vornaxdm"),
               {"--connect", "127.0.0.1:" + std::to_string(relay.portFor(0)), "--walk-circles",
                std::to_string(kTurnDegrees), "--frames", std::to_string(frames)},
               dir.path(), dir / "client.out");
  f.walked = WaitFor([&] { return recorder.walking(); }, 30000);
  if (!f.walked) return f;
  if (run.observer) {
    WriteFile(dir / "observer/.keep", "");
    observer.start(BinaryPath("vornaxdm"),
                   {"--connect", "127.0.0.1:" + std::to_string(relay.portFor(1)), "--trace-others",
                    dir / "observer/trace.txt", "--frames", std::to_string(frames)},
                   dir / "observer", dir / "observer.out");
    WaitFor([&] { return ReadFile(dir / "observer/trace.txt").find('.') != std::string::npos; }, 10000);
  }

  SleepMs(1000);  // the walk settles into its circle
  std::vector<pid_t> busy;
  const long long start = NowMs();
  if (run.busy_cores) {
    for (int core = 0; core < 2; ++core) busy.push_back(BusyCore(start + seconds * 1000L + 500));
  }
  const size_t first_input = recorder.inputCount(), first_snapshot = recorder.snapshotCount();
  const size_t first_delivered = recorder.deliveredCount();
  const long dropped_before = relay.counts().dropped.load();
  SleepMs(seconds * 1000);
  const long long end = NowMs();
  const std::vector<Input> inputs = recorder.inputsFrom(first_input);
  const std::vector<OwnSnapshot> snapshots = recorder.snapshotsFrom(first_snapshot);
  const std::vector<OwnSnapshot> delivered = recorder.deliveredFrom(first_delivered);
  f.dropped = relay.counts().dropped.load() - dropped_before;
  for (pid_t pid : busy) waitpid(pid, nullptr, 0);
  observer.stop();
  client.stop();
  server.stop();

  f.inputs = static_cast<int>(inputs.size());
  f.snapshots = static_cast<int>(snapshots.size());
  CountSnaps(inputs, f);
  CountStalls(inputs, f);
  CountFrozen(snapshots, f);
  CountConfirmations(inputs, delivered, f);
  if (run.observer) CountObserved(ReadFile(dir / "observer/trace.txt"), start, end, f);
  return f;
}

double SnapAllowance(double round_trip_ticks) { return 44 + 11 * round_trip_ticks; }

std::string FiguresHeader() {
  return "| link | inputs | lost datagrams | steps sent again | snap-backs | longest snap (units) | frozen | "
         "stalls (longest, inputs) | confirmed after, median / 95 % | server: ticks still | "
         "observer: frames still / backwards |\n"
         "|---|---|---|---|---|---|---|---|---|---|---|\n";
}

std::string FiguresRow(const WalkRun& run, const WalkFigures& f) {
  char observed[64] = "-";
  if (run.observer) {
    std::snprintf(observed, sizeof observed, "%.1f %% / %d of %d frames", 100 * f.observed_still, f.observed_backwards,
                  f.observed_frames);
  }
  char row[512];
  std::snprintf(row, sizeof row,
                "| %s | %d | %ld | %d | %d | %.0f | %.1f %% | %d (%d) | %.0f / %.0f ms | %.1f %% | %s |\n",
                run.name.c_str(), f.inputs, f.dropped, f.repeats, f.snap_backs, f.longest_snap, 100 * f.frozen_share,
                f.stalls, f.longest_stall, f.confirm_median_ms, f.confirm_p95_ms, 100 * f.server_still, observed);
  return row;
}
