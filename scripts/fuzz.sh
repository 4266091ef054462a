#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, replays the corpora kept in tests/fuzz/corpus (the
# inputs that once found faults, and seeds), then fuzzes each target for a bounded time.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
bash scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DHARBINEL_FUZZ=ON -DHARBINEL_BUILD_TESTS=OFF -DHARBINEL_BUILD_BENCH=OFF
targets=$(sed -n 's/^set(_fuzz_targets \(.*\))$/\1/p' tests/fuzz/CMakeLists.txt)
for target in $targets; do
  [ -f "tests/fuzz/$target.cpp" ] || continue
  cmake --build build-fuzz -j "$(nproc)" --target "$target"
done
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
for target in $targets; do
  [ -f "tests/fuzz/$target.cpp" ] || continue
  kept="tests/fuzz/corpus/$target"
  work="build-fuzz/corpus/$target"
  mkdir -p "$work" "build-fuzz/findings/$target"
  [ -d "$kept" ] && cp -r "$kept/." "$work/"
  if [ -d "$kept" ] && [ -n "$(ls -A "$kept")" ]; then
    echo "== $target: replaying $(ls "$kept" | wc -l) kept inputs"
    "build-fuzz/$target" "$kept"/* >/dev/null 2>&1 || { "build-fuzz/$target" "$kept"/*; exit 1; }
  fi
  echo "== $target: fuzzing for ${seconds}s"
  "build-fuzz/$target" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
    -artifact_prefix="build-fuzz/findings/$target/" -print_final_stats=1 "$work" 2>&1 |
    grep -E '^(stat::number_of_executed_units|#[0-9]+.*DONE|==.*ERROR|SUMMARY)' || true
  if [ -n "$(ls -A "build-fuzz/findings/$target")" ]; then
    echo "$target found a fault: see build-fuzz/findings/$target/ (keep it in $kept)"
    exit 1
  fi
done
echo "fuzzing: every target ran ${seconds}s without a finding"
