#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   scripts/test.sh              plain build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

build=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  options=(-DCMAKE_BUILD_TYPE=Debug -DHARBINEL_SANITIZE=ON -DHARBINEL_BUILD_BENCH=OFF)
  # GTK and WebKit keep process-lifetime allocations that the leak checker would report.
  export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi

cmake -S . -B "$build" "${options[@]}"
cmake --build "$build" -j "$(nproc)"
# No accessibility bus runs under Xvfb: keep GTK and WebKit's web process from looking for one.
export GTK_A11Y=none WEBKIT_A11Y_BUS_ADDRESS=
bash scripts/with-display.sh ctest --test-dir "$build" --output-on-failure -j 2
