#!/usr/bin/env bash
# Walking over a bad link: the real client walks in circles on the real
# server through the test relay. First on loopback with 0, 2 and 5 % loss
# each way, with 3 % of the datagrams held back 45 ms and with both cores
# kept busy; then over links with a round trip, a jitter that reorders
# datagrams and loss each way, with a second client watching the walker.
# Prints per run the snap-backs, the longest, the share of time the server
# shows the walker frozen, stalls of the walk, the time from an input to
# the snapshot that confirms it, and what the watching client draws.
# Usage: tools/measure_movement.sh [SECONDS_PER_WALK] [GTEST_FILTER]
#        (default 15 s; all runs, or e.g. 'Movement.*Jitter*' for the links only)
set -euo pipefail
cd "$(dirname "$0")/.."
# A build folder of its own with every option given.
cmake -S . -B build-measure -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNAX_WERROR=OFF \
  -DVORNAX_SANITIZE=OFF -DVORNAX_FUZZ=OFF -DVORNAX_BUILD_CLIENT=ON \
  -DVORNAX_BUILD_TESTS=ON -DVORNAX_BUILD_BENCH=OFF >/dev/null
cmake --build build-measure --target test_e2e vornaxdm vornaxdm_server
SDL_VIDEODRIVER=dummy ALSOFT_DRIVERS=null VORNAX_WALK_SECONDS=${1:-15} \
  build-measure/tests/test_e2e --gtest_filter="${2:-Movement.*}"
