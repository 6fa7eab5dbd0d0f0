#!/usr/bin/env bash
# Runs every fuzz harness of a fuzz build for a fixed time, starting from its
# seed corpus in fuzz/corpus/<name>. Fails when any harness finds a crash.
# Usage: tools/run_fuzzers.sh BUILD_DIR SECONDS
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-10}
cd "$(dirname "$0")/.."

shopt -s nullglob
status=0
for harness in "$build"/fuzz/fuzz_*; do
  name=$(basename "$harness")
  name=${name#fuzz_}
  seeds=fuzz/corpus/$name
  work=$(mktemp -d)
  if [[ -d "$seeds" ]]; then cp -r "$seeds"/. "$work"/; fi
  echo "-- $name"
  if ! "$harness" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$build/fuzz/$name-" \
      "$work" 2>"$build/fuzz/$name.log"; then
    echo "FUZZ FAILURE in $name:"; tail -n 40 "$build/fuzz/$name.log"; status=1
  else
    grep -E "stat::number_of_executed_units" "$build/fuzz/$name.log" || true
  fi
  rm -rf "$work"
done
exit $status
