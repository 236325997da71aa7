#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
# Usage: scripts/fuzz.sh [SECONDS_EACH]   (default 10; use e.g. 600 for a long run)
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-10}
build=build-fuzz
CXX=clang++ cmake -S . -B "$build" -G Ninja -DVANTOLI_FUZZ=ON -DVANTOLI_GUI=OFF -DVANTOLI_TESTS=OFF \
  -DVANTOLI_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" >"$build.log" 2>&1 || { tail -30 "$build.log"; exit 1; }
for t in fuzz_links fuzz_profile fuzz_history; do
  corpus="$build/corpus/$t"
  mkdir -p "$corpus"
  echo "fuzzing $t for ${secs}s"
  "$build/tests/fuzz/$t" -max_total_time="$secs" -max_len=4096 -print_final_stats=0 "$corpus" \
    >"$build/$t.log" 2>&1 || { tail -40 "$build/$t.log"; echo "$t: FAILED"; exit 1; }
done
echo "fuzzing: ok"
