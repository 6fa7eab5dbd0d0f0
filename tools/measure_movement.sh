#!/usr/bin/env bash
# Walking over a bad link: the real client walks in circles on the real
# server through the test relay with 0, 2 and 5 % loss each way, with 3 % of
# the datagrams held back 45 ms (overtaken by the next ones), and with both
# cores kept busy by two other processes. Prints the table of snap-backs and
# the share of time the server shows the walking player frozen.
# Usage: tools/measure_movement.sh [SECONDS_PER_WALK]   (default 15)
set -euo pipefail
cd "$(dirname "$0")/.."
# A build folder of its own with every option given.
cmake -S . -B build-measure -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNAX_WERROR=OFF \
  -DVORNAX_SANITIZE=OFF -DVORNAX_FUZZ=OFF -DVORNAX_BUILD_CLIENT=ON \
  -DVORNAX_BUILD_TESTS=ON -DVORNAX_BUILD_BENCH=OFF >/dev/null
cmake --build build-measure --target test_e2e vornaxdm vornaxdm_server
SDL_VIDEODRIVER=dummy ALSOFT_DRIVERS=null VORNAX_WALK_SECONDS=${1:-15} \
  build-measure/tests/test_e2e --gtest_filter='Movement.*'
