// The movement measurement: the real client walks in circles in an open room
// on the real server, through the relay, while the relay's tap records every
// input the client sent and every snapshot the server sent, before any loss.
#pragma once

#include <cstdint>
#include <string>

#include "e2e/relay.h"

struct WalkRun {
  std::string name;
  RelayFaults faults;
  bool busy_cores = false;  // two processes keep both cores busy meanwhile
  bool observer = false;    // a second client watches the walker through the same link
};

struct WalkFigures {
  bool walked = false;         // the client joined and walked at all
  int inputs = 0;              // inputs the client sent while measured
  int snapshots = 0;           // snapshots the server sent meanwhile
  int repeats = 0;             // inputs that sent the place before again
  int snap_backs = 0;          // inputs that started again from another place
  double longest_snap = 0;     // units between the abandoned and the new place
  double frozen_share = 0;     // snapshots in runs of 4 or more at one place
  double server_still = 0;     // snapshots showing the walker where the one before did
  double round_trip_ticks = 0; // median of the server's ping for the player
  long dropped = 0;            // datagrams the relay lost
  int stalls = 0;              // runs of 4 or more inputs at one place while walking
  int longest_stall = 0;       // inputs in the longest such run
  double confirm_median_ms = 0;  // from an input leaving to its place coming back in a snapshot
  double confirm_p95_ms = 0;
  int observed_frames = 0;     // frames of the observer that drew the walker
  double observed_still = 0;   // share of them that drew it where the frame before did
  int observed_backwards = 0;  // frames that drew it moving against its last motion
};

// Runs the real programs for `seconds` of walking; the binaries come from
// the build directory.
WalkFigures MeasureWalk(const WalkRun& run, int seconds, uint32_t seed);
// The longest snap-back the targets allow at a round trip: four steps and
// one more per 30 ms.
double SnapAllowance(double round_trip_ticks);
std::string FiguresRow(const WalkRun& run, const WalkFigures& f);
std::string FiguresHeader();
