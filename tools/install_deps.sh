#!/usr/bin/env bash
# Installs the Debian packages that are missing, so a second run does nothing.
#
#   tools/install_deps.sh play   what building and playing the game needs
#   tools/install_deps.sh        that and what the tests, benchmarks and
#                                fuzzing need (VORNAX_WITH_FUZZ=0: no clang)
#
# Without dpkg and apt-get (another distribution) nothing is installed: when
# the compilers and libraries are there by other means the build goes on,
# otherwise the missing ones are named and the script fails.
set -euo pipefail

play_packages=(
  g++ cmake ninja-build pkg-config
  libsdl2-dev libsdl2-ttf-dev libopenal-dev
  fonts-dejavu-core fonts-urw-base35
)
# prometheus: promtool checks the metrics page and a real Prometheus scrapes
# a live server; systemd-analyze verifies the service unit; the desktop
# entry and the AppStream metainfo are validated.
test_packages=(
  googletest libgtest-dev libbenchmark-dev
  xvfb xdotool
  prometheus systemd desktop-file-utils appstream
)

packages=("${play_packages[@]}")
if [[ ${1:-all} != play ]]; then
  packages+=("${test_packages[@]}")
  if [[ "${VORNAX_WITH_FUZZ:-1}" == 1 ]]; then
    packages+=(clang libclang-rt-dev)
  fi
fi

# The tools and libraries playing needs, looked for without a package tool.
check_without_package_tool() {
  local missing=()
  local tool
  for tool in g++ cmake ninja pkg-config; do
    command -v "$tool" >/dev/null || missing+=("$tool")
  done
  if command -v pkg-config >/dev/null; then
    local library
    for library in sdl2 SDL2_ttf openal; do
      pkg-config --exists "$library" || missing+=("$library (pkg-config)")
    done
  fi
  if ((${#missing[@]} > 0)); then
    echo "No dpkg/apt-get to install with, and missing: ${missing[*]}" >&2
    echo "Install them with your distribution's package tool (README: \"Building by hand\")." >&2
    exit 1
  fi
  echo "No dpkg/apt-get: using the compilers and libraries already installed."
}

if ! command -v dpkg-query >/dev/null || ! command -v apt-get >/dev/null; then
  check_without_package_tool
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
if ! "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"; then
  "${sudo_cmd[@]}" apt-get update
  "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The tests start their own Prometheus on loopback; the package's service,
# which Debian starts on port 9090 of every interface, was not asked for.
if [[ " ${missing[*]} " == *" prometheus "* ]] && [[ -d /run/systemd/system ]]; then
  "${sudo_cmd[@]}" systemctl disable --now prometheus.service || true
fi
