#!/usr/bin/env bash
# Fuzzes the Access reader with libFuzzer: builds the fuzz preset (clang, ASan, UBSan) and runs
# each target over mutations of its seed corpus in fuzz/corpus/<target> (files that the Jet
# writer made from the descriptions in fuzz/seeds/).
#
#   scripts/fuzz.sh [SECONDS]   every target for SECONDS (600 when left out), one after another
#   scripts/fuzz.sh --ci        the bounded run of the test suite: 15 seconds a target
#
# New inputs go to build/fuzz/corpus/<target>, which later runs go on from; a crash, a leak or a
# hang (an input that takes over 10 seconds) is written to build/fuzz/crashes/<target>/ and
# fails the run. Access's own DateTestDatabase.mdb from ../shared/testdata is added to the
# working corpus where that folder is there; it is never copied into the repository.
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(open table query restore settings)
seconds=600
case "${1:-}" in
  --ci) seconds=15 ;;
  "") ;;
  *[!0-9]*)
    echo "usage: scripts/fuzz.sh [SECONDS | --ci]" >&2
    exit 2
    ;;
  *) seconds=$1 ;;
esac

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

build=build/fuzz
shared_seed=../shared/testdata/DateTestDatabase.mdb

total=0
failed=()
for target in "${targets[@]}"; do
  work=$build/corpus/$target
  crashes=$build/crashes/$target
  mkdir -p "$work" "$crashes"
  [[ -f $shared_seed ]] && cp "$shared_seed" "$work/"
  log=$build/fuzz-$target.log
  status=0
  # libmdb warns on stderr about every damaged page it meets: the log keeps it.
  "$build/${target}_fuzzer" "$work" "fuzz/corpus/$target" -max_total_time="$seconds" \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$crashes/" \
    >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  total=$((total + ${runs:-0}))
  if ((status != 0)); then
    failed+=("$target")
    echo "fuzz $target: FAILED after ${runs:-?} executions (log: $log)"
    grep -E "^(SUMMARY|==[0-9]+==ERROR)|Test unit written" "$log" || tail -20 "$log"
  else
    echo "fuzz $target: ${runs:-0} executions in ${seconds}s, no crash"
  fi
done
echo "fuzz: $total executions, ${#failed[@]} targets failed${failed:+: ${failed[*]}}"
((${#failed[@]} == 0))
