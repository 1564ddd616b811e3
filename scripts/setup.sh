#!/usr/bin/env bash
# Shared set-up of ./run and ./test: installs the Debian packages the build
# and the tests need (as root, when any is missing), then configures and
# builds into build/ (or the directory given as $1, with extra CMake options).
set -euo pipefail

packages=(flex bison cmake g++ make pkg-config libpolylib64-dev libgtk2.0-dev
          xvfb xauth xdotool openbox wmctrl imagemagick x11-utils xfonts-75dpi xfonts-100dpi
          googletest libgtest-dev libbenchmark-dev libisl-dev libxres-dev libxtst-dev
          clang libclang-rt-14-dev valgrind poppler-utils librsvg2-common)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq </dev/null >&2
    apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null >&2
  else
    echo "Missing packages: ${missing[*]}" >&2
    echo "Install them (as root: apt-get install ${missing[*]}) and try again." >&2
    exit 1
  fi
fi

build_dir=${1:-build}
shift || true
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >&2
cmake --build "$build_dir" -j"$(nproc)" >&2
