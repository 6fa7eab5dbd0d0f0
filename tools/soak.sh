#!/usr/bin/env bash
# The full long run: 1,200,000 server ticks (10 hours of play at 30 ms) with
# 24 bots and a scripted human, checked every tick. Takes a few minutes.
# Usage: tools/soak.sh [TICKS]
set -euo pipefail
cd "$(dirname "$0")/.."
# A build folder of its own with every option given: the long run needs the
# server and the tests, not the game.
cmake -S . -B build-soak -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNAX_WERROR=OFF \
  -DVORNAX_SANITIZE=OFF -DVORNAX_FUZZ=OFF -DVORNAX_BUILD_CLIENT=OFF \
  -DVORNAX_BUILD_TESTS=ON -DVORNAX_BUILD_BENCH=OFF >/dev/null
cmake --build build-soak --target test_soak
VORNAX_SOAK_TICKS=${1:-1200000} build-soak/tests/test_soak --gtest_filter='Soak.*'
