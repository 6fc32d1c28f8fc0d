#!/usr/bin/env bash
# The test suite under sanitizers:
#   asan  the whole suite with AddressSanitizer + UndefinedBehaviorSanitizer
#   tsan  the tests that drive the receiver thread, under ThreadSanitizer
#   scripts/sanitize.sh [BUILD_ROOT] [asan|tsan|all]   (default: . and all)
# Builds go to BUILD_ROOT/build-asan and BUILD_ROOT/build-tsan. SANITIZE_JOBS
# sets the build jobs (default: all cores). Exit status is non-zero when a
# build or any test fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${1:-.}
what=${2:-all}
mkdir -p "$build_root"
build_root=$(cd "$build_root" && pwd)
jobs=${SANITIZE_JOBS:-$(nproc)}
export QT_QPA_PLATFORM=offscreen

# The tests that start the receiver thread (directly or through the link).
tsan_tests=(test_receiver test_connection test_upload test_download test_content_page
  test_midlet_install test_midlet_phone test_listing_parse test_names test_comport test_faults_link
  test_gui_faults test_session_memory)

# On CI a sanitizer build is not kept: the next stages need the disk more.
drop_build() {
  if [[ ${CI:-} == true ]]; then rm -rf "$1"; fi
}

run_asan() {
  local build=$build_root/build-asan start=$(date +%s)
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON \
    -DQUENDREL_SANITIZE=address,undefined >/dev/null
  cmake --build "$build" -j "$jobs"
  local built=$(date +%s)
  echo "asan build: $((built - start)) s"
  # UBSan reports must fail the test, not scroll past. QUENDREL_BIN_DIR is
  # set here too: the tests that start the command-line program look for it
  # there, and the per-test environment list does not always carry it.
  local status=0
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1 \
  LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  QUENDREL_BIN_DIR=$build \
    ctest --test-dir "$build" --output-on-failure -j 2 --timeout 300 || status=$?
  echo "asan tests: $(($(date +%s) - built)) s"
  drop_build "$build"
  return $status
}

run_tsan() {
  local build=$build_root/build-tsan start=$(date +%s)
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON \
    -DQUENDREL_SANITIZE=thread >/dev/null
  cmake --build "$build" -j "$jobs" --target "${tsan_tests[@]}"
  local built=$(date +%s)
  echo "tsan build: $((built - start)) s"
  local status=0 t
  for t in "${tsan_tests[@]}"; do
    echo "== $t (ThreadSanitizer)"
    # exitcode=66 turns a report into a failure even when the test passed.
    TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1 suppressions=$root/tests/tsan.supp" \
    QUENDREL_BIN_DIR=$build \
      "$build/tests/$t" --gtest_brief=1 || { echo "FAILED: $t under ThreadSanitizer" >&2; status=1; }
  done
  echo "tsan tests: $(($(date +%s) - built)) s"
  drop_build "$build"
  return $status
}

status=0
case "$what" in
  asan) run_asan || status=$? ;;
  tsan) run_tsan || status=$? ;;
  all)
    run_asan || status=$?
    run_tsan || status=$?
    ;;
  *)
    echo "usage: $0 [BUILD_ROOT] [asan|tsan|all]" >&2
    exit 2
    ;;
esac
exit $status
