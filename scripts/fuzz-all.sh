#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, address + undefined) and runs every
# fuzz target for a fixed time from seeds its own builders write.
#   scripts/fuzz-all.sh [SECONDS-PER-TARGET] [TARGET...]
# Corpora grow in build/fuzz/corpus/<target>/, crash inputs land in
# build/fuzz/crashes/<target>/; the run fails on the first target that finds one.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
bin=build/fuzz/tests/fuzz
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for t in "$bin"/fuzz_*; do targets+=("$(basename "$t" | sed 's/^fuzz_//')"); done
fi
# Targets over the in-memory platform: its containers and the fixtures' keep
# their capacity from one input to the next, so libFuzzer's per-input leak
# check would run every input twice; leaks are still checked when the run ends.
extra_options() {
  case "$1" in
    param_init|stack_network|firmware_queues|checker_session|remote_commands|unlock_request) echo "-detect_leaks=0" ;;
  esac
}
passed=0
failed=0
for t in "${targets[@]}"; do
  seeds=build/fuzz/seeds/$t corpus=build/fuzz/corpus/$t crashes=build/fuzz/crashes/$t
  rm -rf "$seeds"
  mkdir -p "$corpus" "$crashes"
  SCM_FUZZ_WRITE_SEEDS=$seeds "$bin/fuzz_$t" >/dev/null
  echo "=== fuzz_$t: ${seconds} s from $(ls "$seeds" | wc -l) seeds ==="
  log=build/fuzz/fuzz_$t.log
  if ASAN_OPTIONS=detect_leaks=1 "$bin/fuzz_$t" $(extra_options "$t") -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$crashes/" -rss_limit_mb=4096 "$corpus" "$seeds" >"$log" 2>&1; then
    passed=$((passed + 1))
    grep -E "^#[0-9]+.*DONE" "$log" | tail -1 || true
  else
    failed=$((failed + 1))
    tail -40 "$log"
    echo "fuzz_$t: FINDING, input in $crashes/"
  fi
done
echo "fuzz targets: $passed ran clean, $failed found something"
[ "$failed" -eq 0 ]
