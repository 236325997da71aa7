#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UBSan, runs every
# test (GUI tests under Xvfb) after fuzzing each decoder briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
build=build-test
cmake -S . -B "$build" -G Ninja -DVANTOLI_SANITIZE=ON >/dev/null
# The program is tested as the demo runs it, with self-update: built to
# trust a release key made for this build folder (its secret stays there;
# the tests sign their releases with a key pair of their own).
cmake --build "$build" --target vantoli-content-server
key=$(ASAN_OPTIONS=detect_leaks=0 "$build/server/vantoli-content-server" operator --data "$build/release-key" release-key)
cmake -S . -B "$build" -DVANTOLI_RELEASE_PUBLIC_KEY="$key" >/dev/null
cmake --build "$build"
./scripts/fuzz.sh "${VANTOLI_FUZZ_SECONDS:-10}"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
(cd "$build" && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2)
