#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time.
#   scripts/fuzz.sh [BUILD_ROOT]     builds in BUILD_ROOT/build-fuzz (default ./build-fuzz)
# FUZZ_SECONDS per target (default 30); FUZZ_JOBS build jobs (default: all cores).
# Exit status is non-zero when any target finds a crash.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${1:-.}
mkdir -p "$build_root"
build=$(cd "$build_root" && pwd)/build-fuzz

start=$(date +%s)
CC=${FUZZ_CC:-clang} CXX=${FUZZ_CXX:-clang++} \
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUENDREL_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "${FUZZ_JOBS:-$(nproc)}" --target fuzz_all
built=$(date +%s)
echo "fuzz build: $((built - start)) s"

status=0
"$root/fuzz/run.sh" "$build" || status=$?
echo "fuzz run: $(($(date +%s) - built)) s (FUZZ_SECONDS=${FUZZ_SECONDS:-30} per target)"
exit $status
