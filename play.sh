#!/usr/bin/env bash
# Installs what is missing, builds, generates the pictures and sounds, then
# starts a local server with bots on the shipped maps and the game itself;
# the server stops when the game quits.
#
#   ./play.sh                      play against bots on this machine
#   ./play.sh --server [options]   run only a dedicated server; options are
#                                  the server's own (-port, -bots, -map, ...)
set -euo pipefail
cd "$(dirname "$0")"

# The port the game's default settings connect to.
readonly GAME_PORT=10666

# Only what playing needs: the server, the game and the asset generator, in
# a build folder of its own (the tests and tools have theirs). Every option
# is given each time, so nothing a test build chose can reach this one.
readonly BUILD=build-play
tools/install_deps.sh play
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNAX_WERROR=OFF \
  -DVORNAX_SANITIZE=OFF -DVORNAX_FUZZ=OFF -DVORNAX_BUILD_CLIENT=ON \
  -DVORNAX_BUILD_TESTS=OFF -DVORNAX_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target vornaxdm_server vornaxdm assetgen

# Pictures and sounds are generated, never stored in the repository. They
# are made again when the generator changed or any file it made is missing:
# the stamp holds the generator's checksum and the list of its files.
generate_assets() {
  local stamp=sprites/.assetgen
  local current
  current=$(sha256sum "$BUILD/assetgen" | cut -d' ' -f1)
  if [[ -f $stamp && $(head -n 1 "$stamp") == "$current" ]] && all_generated_present "$stamp"; then
    return
  fi
  echo "Generating pictures and sounds"
  "$BUILD/assetgen" . >/dev/null
  {
    echo "$current"
    find sprites sounds -type f ! -name .assetgen | sort
  } >"$stamp"
}

all_generated_present() {
  local file
  while IFS= read -r file; do
    [[ -f $file ]] || return 1
  done < <(tail -n +2 "$1")
}

# Every shipped map, in name order, as -map options.
map_options() {
  local map
  for map in maps/*.vnxm; do
    printf -- '-map\n%s\n' "$(basename "$map" .vnxm)"
  done
}

has_option() {
  local wanted=$1
  shift
  local arg
  for arg in "$@"; do
    [[ $arg == "$wanted" ]] && return 0
  done
  return 1
}

run_dedicated_server() {
  local options=("$@")
  has_option -port "${options[@]}" || options+=(-port "$GAME_PORT")
  if ! has_option -map "${options[@]}"; then
    mapfile -t maps < <(map_options)
    options+=("${maps[@]}")
  fi
  exec "$BUILD/vornaxdm_server" "${options[@]}"
}

# The port in the server's "UDP initialized! UDP port: N" line: when the
# one asked for is busy the server takes the next free one, and the game
# must go there, not to whatever holds the busy port. Waits up to 30 s.
bound_port() {
  local log=$1 pid=$2 line
  for ((tries = 0; tries < 300; tries++)); do
    line=$(grep -m 1 -o 'UDP port: [0-9]*' "$log" 2>/dev/null || true)
    if [[ -n $line ]]; then
      echo "${line#UDP port: }"
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

play_locally() {
  generate_assets
  mapfile -t maps < <(map_options)
  local log=$BUILD/server.log
  # The server clears its console and never reads input: it runs in the
  # background with its console going to a log file.
  "$BUILD/vornaxdm_server" -port "$GAME_PORT" -bots 5 -name "Local game" "${maps[@]}" </dev/null >"$log" 2>&1 &
  server_pid=$!
  trap 'kill "$server_pid" 2>/dev/null || true' EXIT
  local port
  if ! port=$(bound_port "$log" "$server_pid"); then
    echo "The local server did not start; its output ($log):" >&2
    cat "$log" >&2
    exit 1
  fi
  echo "Server running on UDP port $port (log in $log); starting the game"
  "$BUILD/vornaxdm" --connect "127.0.0.1:$port"
}

if [[ ${1:-} == --server ]]; then
  shift
  run_dedicated_server "$@"
else
  play_locally
fi
