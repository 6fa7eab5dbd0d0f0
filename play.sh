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

VORNAX_WITH_FUZZ=0 tools/install_deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

# Pictures and sounds are generated, never stored in the repository. They
# are made again only when missing or when the generator itself changed.
generate_assets() {
  local stamp=sprites/.assetgen
  local current
  current=$(sha256sum build/assetgen | cut -d' ' -f1)
  if [[ -f $stamp && -d sounds && $(cat "$stamp") == "$current" ]]; then
    return
  fi
  echo "Generating pictures and sounds"
  build/assetgen . >/dev/null
  echo "$current" >"$stamp"
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
  exec build/vornaxdm_server "${options[@]}"
}

play_locally() {
  generate_assets
  mapfile -t maps < <(map_options)
  local log=build/server.log
  # The server clears its console and never reads input: it runs in the
  # background with its console going to a log file.
  build/vornaxdm_server -port "$GAME_PORT" -bots 5 -name "Local game" "${maps[@]}" </dev/null >"$log" 2>&1 &
  server_pid=$!
  trap 'kill "$server_pid" 2>/dev/null || true' EXIT
  echo "Server running (log in $log); starting the game"
  build/vornaxdm --connect "127.0.0.1:$GAME_PORT"
}

if [[ ${1:-} == --server ]]; then
  shift
  run_dedicated_server "$@"
else
  play_locally
fi
