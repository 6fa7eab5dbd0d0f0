#!/usr/bin/env bash
# The full long run: 1,200,000 server ticks (10 hours of play at 30 ms) with
# 24 bots and a scripted human, checked every tick. Takes a few minutes.
# Usage: tools/soak.sh [TICKS]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target test_soak
VORNAX_SOAK_TICKS=${1:-1200000} build/tests/test_soak --gtest_filter='Soak.*'
