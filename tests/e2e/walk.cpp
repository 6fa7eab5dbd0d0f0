#include "e2e/walk.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <vector>

#include "protocol/protocol.h"
#include "support/process.h"

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
  uint16_t dir, x, y;
};
struct OwnSnapshot {
  bool alive;
  uint16_t x, y;
  uint8_t ping;
};

uint16_t Word(const uint8_t* d, int at) { return static_cast<uint16_t>(d[at] | d[at + 1] << 8); }

// Where the fields lie in each version: version 29 puts the session token
// after the code byte, sends the newest input frame after its acknowledgement,
// sequence and count, and ends a snapshot with the sequence applied.
struct Layout {
  int input_size_min, input_frame, snapshot_count, snapshot_tail;
};
constexpr Layout kLayout28{12, 1, 5, 6};
constexpr Layout kLayout29{23, 14, 13, 8};

// The receiver's own entry of a snapshot: its slot is the first byte of the
// tail.
bool ParseOwn(const uint8_t* d, int len, const Layout& l, OwnSnapshot& own) {
  if (len < l.snapshot_count + 1 + l.snapshot_tail || d[0] != MSG_SNAPSHOT) return false;
  const uint8_t me = d[len - l.snapshot_tail];
  int at = l.snapshot_count + 1;
  own = OwnSnapshot{false, 0, 0, 0};
  for (int i = 0, n = d[l.snapshot_count]; i < n && at + 3 <= len; ++i) {
    const uint8_t slot = d[at], state = d[at + 1], ping = d[at + 2];
    at += 3;
    if (state >= PS_DEAD) ++at;
    if (state >= PS_ALIVE && at + 6 <= len && slot == me) own = OwnSnapshot{true, Word(d, at), Word(d, at + 2), ping};
    if (state >= PS_ALIVE) at += 6;
    if (state >= PS_FIRING) ++at;
  }
  return true;
}

class Recorder {
 public:
  void tap(bool to_server, const uint8_t* d, int len) {
    std::lock_guard<std::mutex> lock(mutex_);
    // The game's latest connect says which version it speaks.
    if (to_server && len >= 2 && d[0] == MSG_CONNECT) layout_ = d[1] >= 29 ? &kLayout29 : &kLayout28;
    const int f = layout_->input_frame;
    if (to_server && len >= layout_->input_size_min && d[0] == MSG_INPUT)
      inputs_.push_back({Word(d, f + 2), Word(d, f + 5), Word(d, f + 7)});
    OwnSnapshot own;
    if (!to_server && ParseOwn(d, len, *layout_, own)) snapshots_.push_back(own);
  }
  size_t inputCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return inputs_.size();
  }
  size_t snapshotCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return snapshots_.size();
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

 private:
  std::mutex mutex_;
  const Layout* layout_ = &kLayout28;
  std::vector<Input> inputs_;
  std::vector<OwnSnapshot> snapshots_;
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

void CountFrozen(const std::vector<OwnSnapshot>& snaps, WalkFigures& f) {
  int frozen = 0;
  for (size_t start = 0; start < snaps.size();) {
    size_t end = start + 1;
    while (end < snaps.size() && snaps[end].x == snaps[start].x && snaps[end].y == snaps[start].y) ++end;
    if (end - start >= 4) frozen += static_cast<int>(end - start);
    start = end;
  }
  f.frozen_share = snaps.empty() ? 0 : static_cast<double>(frozen) / snaps.size();
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
  const uint16_t port = StartServer(server, {"-port", "47800", "-map", "openroom", "-name", "Walk"}, dir.path());
  if (port == 0) return f;

  Recorder recorder;
  LossyRelay relay(port, 1, run.faults, seed,
                   [&recorder](int, bool to_server, const uint8_t* d, int len) { recorder.tap(to_server, d, len); });
  ChildProcess client;
  client.env = {"SDL_VIDEODRIVER=dummy", "ALSOFT_DRIVERS=null"};
  const long frames = (seconds + 60) * 34L;  // ends by itself should the test not stop it
  client.start(BinaryPath("vornaxdm"),
               {"--connect", "127.0.0.1:" + std::to_string(relay.portFor(0)), "--walk-circles",
                std::to_string(kTurnDegrees), "--frames", std::to_string(frames)},
               dir.path(), dir / "client.out");
  f.walked = WaitFor([&] { return recorder.walking(); }, 30000);
  if (!f.walked) return f;

  SleepMs(1000);  // the walk settles into its circle
  std::vector<pid_t> busy;
  const long long start = NowMs();
  if (run.busy_cores) {
    for (int core = 0; core < 2; ++core) busy.push_back(BusyCore(start + seconds * 1000L + 500));
  }
  const size_t first_input = recorder.inputCount(), first_snapshot = recorder.snapshotCount();
  const long dropped_before = relay.counts().dropped.load();
  SleepMs(seconds * 1000);
  const std::vector<Input> inputs = recorder.inputsFrom(first_input);
  const std::vector<OwnSnapshot> snapshots = recorder.snapshotsFrom(first_snapshot);
  f.dropped = relay.counts().dropped.load() - dropped_before;
  for (pid_t pid : busy) waitpid(pid, nullptr, 0);
  client.stop();
  server.stop();

  f.inputs = static_cast<int>(inputs.size());
  f.snapshots = static_cast<int>(snapshots.size());
  CountSnaps(inputs, f);
  CountFrozen(snapshots, f);
  return f;
}

double SnapAllowance(double round_trip_ticks) { return 44 + 11 * round_trip_ticks; }

std::string FiguresHeader() {
  return "| run | inputs | snapshots | lost datagrams | steps sent again | snap-backs | longest snap (units) | "
         "frozen share | round trip (ticks) |\n|---|---|---|---|---|---|---|---|---|\n";
}

std::string FiguresRow(const WalkRun& run, const WalkFigures& f) {
  char row[256];
  std::snprintf(row, sizeof row, "| %s | %d | %d | %ld | %d | %d | %.0f | %.1f %% | %.0f |\n", run.name.c_str(),
                f.inputs, f.snapshots, f.dropped, f.repeats, f.snap_backs, f.longest_snap, 100 * f.frozen_share,
                f.round_trip_ticks);
  return row;
}
