#!/usr/bin/env bash
# Runs the fuzz targets of a fuzz build for a bounded time each.
#   fuzz/run.sh BUILD_DIR [target...]     (default: every target)
# FUZZ_SECONDS (default 30) is the time per target. Each target starts from
# a copy of its seed corpus, so the seeds in the repository stay as they
# are. A crash, a time-out, a memory blow-up or a sanitizer report fails
# the run; its input and log are kept under BUILD_DIR/fuzz-findings/.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: fuzz/run.sh BUILD_DIR [target...]}
shift
seconds=${FUZZ_SECONDS:-30}
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_reply fuzz_listing fuzz_download fuzz_suite_list fuzz_jad fuzz_version fuzz_gif fuzz_header fuzz_ini
    fuzz_manifest fuzz_sums fuzz_suites fuzz_trace)
fi

findings=$build/fuzz-findings
mkdir -p "$findings"
work=$(mktemp -d "${TMPDIR:-/tmp}/quendrel-fuzz-run.XXXXXX")
trap 'rm -rf "$work"' EXIT

# UBSan must stop at its first report, or libFuzzer never sees it.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:abort_on_error=1:print_stacktrace=1}

failed=()
printf '%-18s %12s %10s  %s\n' target executions exec/s result
for t in "${targets[@]}"; do
  bin=$build/fuzz/$t
  if [ ! -x "$bin" ]; then
    printf '%-18s %12s %10s  %s\n' "$t" - - "MISSING ($bin)"
    failed+=("$t")
    continue
  fi
  corpus=$work/$t
  mkdir -p "$corpus"
  [ -d "$here/corpus/$t" ] && cp -r "$here/corpus/$t/." "$corpus/"
  log=$findings/$t.log
  # -timeout: one input taking this long is a hang. -close_fd_mask hides
  # the targets' own output, not libFuzzer's.
  "$bin" "$corpus" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$findings/$t-" -close_fd_mask=1 \
    >"$log" 2>&1
  rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  if [ $rc -eq 0 ]; then
    result=ok
  else
    result="FAILED (exit $rc, log $log)"
    failed+=("$t")
  fi
  printf '%-18s %12s %10s  %s\n' "$t" "${execs:--}" "${rate:--}" "$result"
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found problems in: ${failed[*]}" >&2
  for t in "${failed[@]}"; do
    [ -f "$findings/$t.log" ] && grep -m1 -E 'ERROR|invariant broken|runtime error' "$findings/$t.log" >&2
  done
  exit 1
fi
echo "fuzzing: no findings"
