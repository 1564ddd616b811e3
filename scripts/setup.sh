#!/usr/bin/env bash
# Shared set-up of ./run and ./test: installs the Debian packages the build
# needs (as root, when any is missing), then configures and builds.
#   scripts/setup.sh --calculator-only [BUILD_DIR]
#       what ./run needs: the packages to build and run the calculator, and
#       the calculator alone, quietly (the build's output shows on failure)
#   scripts/setup.sh [BUILD_DIR [CMAKE_OPTION...]]
#       what ./test needs: every package, and every target (tests, benchmarks)
set -euo pipefail

calculator_packages=(flex bison cmake g++ make pkg-config libpolylib64-dev libgtk2.0-dev libreadline-dev
                     libgmp-dev xvfb)
test_packages=(gcc xvfb xauth xdotool openbox wmctrl imagemagick x11-utils xfonts-75dpi xfonts-100dpi
               googletest libgtest-dev libbenchmark-dev libisl-dev libxres-dev libxtst-dev
               clang libclang-rt-14-dev valgrind
               dpkg-dev file man-db poppler-utils librsvg2-common
               python3-ipykernel python3-jupyter-client jupyter-client jupyter-core python3-nbclient
               python3-nbconvert python3-nbformat jupyter-nbconvert jupyter-console chromium chromium-driver
               python3-selenium)

calculator_only=false
if [ "${1:-}" = "--calculator-only" ]; then
  calculator_only=true
  shift
fi
packages=("${calculator_packages[@]}")
$calculator_only || packages+=("${test_packages[@]}")

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
if $calculator_only; then
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  # A build directory configured before (by ./test) keeps its options.
  if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQARNEST_TESTS=OFF -DQARNEST_BENCH=OFF \
      >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
  fi
  cmake --build "$build_dir" --target qarnest -j"$(nproc)" >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
else
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQARNEST_TESTS=ON -DQARNEST_BENCH=ON "$@" >&2
  cmake --build "$build_dir" -j"$(nproc)" >&2
fi
