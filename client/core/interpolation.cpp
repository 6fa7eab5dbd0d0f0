// Snapshot positions by tick, the render clock steered by the snapshots'
// arrival times, and the others placed between two snapshots each frame.
#include "client/core/interpolation.h"

#include <algorithm>
#include <cmath>

#include "client/core/client_state.h"
#include "client/core/platform.h"
#include "client/core/world.h"

namespace {

constexpr double kMsPerTick = 30;
// A jump of the tick counter this large is a restarted server, not a late
// snapshot (about 6 s).
constexpr int kTickResync = 200;
// Snapshots kept per player: enough for a render time several ticks behind.
constexpr int kKept = 8;
// Arrivals the jitter is judged over (about 2 s of snapshots).
constexpr int kArrivals = 64;
// The render time stays this far behind the latest arrival seen lately, so
// the snapshot after it has come even when a frame starts early.
constexpr double kMargin = 1.0;
// Ticks per frame the render clock may run faster or slower while it
// follows a change of the delay: the drawn motion stays smooth.
constexpr double kSteer = 0.1;
// Farther than this between two snapshots is a teleport (a respawn), drawn
// at once rather than as a slide across the map.
constexpr int kTeleport = 96;

struct Sample {
  int64_t tick;
  uint16_t x, y, dir;
};

struct Track {
  Sample samples[kKept];  // oldest first
  int count;
  // A walker's place shown once more by one snapshot, kept aside: when the
  // next one shows it moving on, the server merely had no input from it in
  // that tick (it gets none in one tick and two in the next on a link with
  // jitter), and the walk is drawn without the pause.
  bool held;
  Sample repeat;
};

Track tracks[MAX_SLOTS + 1];

// Shots waiting for the render time, oldest first.
constexpr int kWaitingShots = 32;
struct WaitingShot {
  ShotStart start;
  int64_t tick;
};
WaitingShot waiting_shots[kWaitingShots];
int shots_waiting = 0;

bool tick_known = false;
uint16_t newest_tick = 0;
int64_t newest_unwrapped = 0;  // newest_tick without the wrap at 65536
uint32_t clock_start_ms = 0;   // local time 0 of the render clock

// Server tick minus local time in ticks at each arrival; its smallest value
// lately is the latest a snapshot came.
double arrivals[kArrivals];
int arrivals_noted = 0;
double offset = 0;  // render time = local time + offset
double render_tick = 0;

double LocalTicks() { return static_cast<uint32_t>(PlatformTicks() - clock_start_ms) / kMsPerTick; }

double LatestArrival() {
  double latest = arrivals[0];
  for (int i = 1; i < std::min(arrivals_noted, kArrivals); ++i) latest = std::min(latest, arrivals[i]);
  return latest;
}

void Push(Track& t, const Sample& s) {
  if (t.count > 0) {
    Sample& last = t.samples[t.count - 1];
    if (last.tick == s.tick) {  // the same snapshot twice (a duplicated datagram)
      last = s;
      return;
    }
    if (std::abs(last.x - s.x) + std::abs(last.y - s.y) > kTeleport) t.count = 0;
  }
  if (t.count == kKept) {
    std::copy(t.samples + 1, t.samples + kKept, t.samples);
    --t.count;
  }
  t.samples[t.count++] = s;
}

bool SamePlace(const Sample& a, const Sample& b) { return a.x == b.x && a.y == b.y; }

// Heading from a to b by the shorter way round, `share` of the turn.
uint16_t TurnBetween(uint16_t a, uint16_t b, double share) {
  const int diff = ((b - a) % 360 + 540) % 360 - 180;
  return static_cast<uint16_t>((a + static_cast<int>(std::lround(diff * share)) + 360) % 360);
}

// The place of a track at render tick r: between the samples around it,
// the newest one once r has passed it (never guessed ahead), the oldest
// one before it.
Sample At(const Track& t, double r) {
  int after = 0;
  while (after < t.count && static_cast<double>(t.samples[after].tick) <= r) ++after;
  if (after == 0) return t.samples[0];
  if (after == t.count) return t.samples[t.count - 1];
  const Sample& a = t.samples[after - 1];
  const Sample& b = t.samples[after];
  const double share = (r - static_cast<double>(a.tick)) / static_cast<double>(b.tick - a.tick);
  return Sample{a.tick, static_cast<uint16_t>(std::lround(a.x + (b.x - a.x) * share)),
                static_cast<uint16_t>(std::lround(a.y + (b.y - a.y) * share)), TurnBetween(a.dir, b.dir, share)};
}

void TraceShotsReached() {
  int kept = 0;
  for (int i = 0; i < shots_waiting; ++i) {
    if (static_cast<double>(waiting_shots[i].tick) <= render_tick) {
      TraceShotFrom(waiting_shots[i].start);
    } else {
      waiting_shots[kept++] = waiting_shots[i];
    }
  }
  shots_waiting = kept;
}

void SteerRenderClock() {
  const double now = LocalTicks();
  const double wanted = LatestArrival() - kMargin;
  if (std::abs(wanted - offset) > 8) {
    offset = wanted;  // the first snapshots, or a link that changed for good
  } else {
    offset += std::clamp(wanted - offset, -kSteer, kSteer);
  }
  render_tick = std::max(render_tick, now + offset);
}

}  // namespace

void ResetInterpolation() {
  for (Track& t : tracks) t = Track{};
  shots_waiting = 0;
  tick_known = false;
  newest_tick = 0;
  newest_unwrapped = 0;
  arrivals_noted = 0;
  offset = render_tick = 0;
}

bool SnapshotIsOutdated(uint16_t tick) {
  const int back = static_cast<int16_t>(tick - newest_tick);
  return tick_known && back < 0 && back > -kTickResync;
}

void NoteSnapshotApplied(uint16_t tick) {
  const int advance = static_cast<int16_t>(tick - newest_tick);
  if (!tick_known || advance > kTickResync || advance < -kTickResync) {
    ResetInterpolation();
    tick_known = true;
    clock_start_ms = PlatformTicks();
    newest_unwrapped = kTickResync;  // room below for the render time
  } else {
    newest_unwrapped += advance;
  }
  newest_tick = tick;
  arrivals[arrivals_noted % kArrivals] = static_cast<double>(newest_unwrapped) - LocalTicks();
  ++arrivals_noted;
  if (arrivals_noted == 1) {
    offset = arrivals[0] - kMargin;
    render_tick = LocalTicks() + offset;
  }
}

void NotePlayerPosition(uint8_t slot) {
  if (slot < 1 || slot > MAX_SLOTS || !tick_known) return;
  const TClient& p = players[slot];
  Track& t = tracks[slot];
  if (p.state < PS_ALIVE) return;
  if (p.prev_state < PS_ALIVE) {  // a respawn starts a new track
    t.count = 0;
    t.held = false;
  }
  const Sample now{newest_unwrapped, p.x, p.y, p.dir};
  const bool repeats = t.count >= 2 && SamePlace(t.samples[t.count - 1], now);
  const bool was_walking = t.count >= 2 && !SamePlace(t.samples[t.count - 2], t.samples[t.count - 1]);
  if (repeats && was_walking && !t.held) {
    t.held = true;
    t.repeat = now;
    return;
  }
  // Standing twice running is standing: the place held aside counts again.
  if (t.held && SamePlace(now, t.repeat)) Push(t, t.repeat);
  t.held = false;
  Push(t, now);
}

bool DeferShot(uint8_t slot) {
  if (!tick_known || slot < 1 || slot > MAX_SLOTS || shots_waiting == kWaitingShots) return false;
  const TClient& p = players[slot];
  waiting_shots[shots_waiting++] = WaitingShot{ShotStart{slot, p.x, p.y, p.dir, p.gun, server_tick}, newest_unwrapped};
  return true;
}

void InterpolateOthers() {
  if (!tick_known) return;
  SteerRenderClock();
  TraceShotsReached();
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    TClient& p = players[s];
    const Track& t = tracks[s];
    if (s == my_slot || p.state < PS_ALIVE || t.count == 0) continue;
    const Sample drawn = At(t, render_tick);
    p.fx = drawn.x / 64.0f;
    p.fy = drawn.y / 64.0f;
    if (s == view_slot) {
      local_x = drawn.x;
      local_y = drawn.y;
      view_angle = drawn.dir;
    }
  }
}

double RenderDelay() { return static_cast<double>(newest_unwrapped) - render_tick; }
