#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan, UBSan) and runs each for a while on a scratch copy
# of its committed seed corpus. Any finding fails the run: a crash, a leak, a time-out, a
# sanitizer report or a broken property. Findings and logs stay in build-fuzz/.
#
# Usage: scripts/fuzz.sh [seconds-per-target]    (default 30)
# FUZZ_TARGETS="dm_response version_file" limits the run to some targets.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
build_dir=build-fuzz
targets=(${FUZZ_TARGETS:-dm_response version_file config_file config_record number_parsing text_round_trip minisign proxy_lists})

CC=clang CXX=clang++ cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVANE_SANITIZE=ON -DQUORVANE_FUZZ=ON -DQUORVANE_TESTS=OFF >/dev/null
cmake --build "$build_dir" --target fuzz_targets -j 2

# Scratch corpora and the targets' scratch files live in memory when the system has /dev/shm.
scratch_root=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch_root=/dev/shm
work=$(mktemp -d "$scratch_root/quorvane-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT

options_for() {
  case $1 in
    number_parsing) echo "-dict=fuzz/dictionaries/numbers.dict -max_len=64" ;;
    text_round_trip) echo "-max_len=1024" ;;
    minisign) echo "-max_len=2048" ;;
    proxy_lists) echo "-dict=fuzz/dictionaries/proxy_lists.dict -max_len=1024" ;;
    # Beyond jansson's 4096-byte read buffer, so block edges are exercised.
    *) echo "-dict=fuzz/dictionaries/json.dict -max_len=9000" ;;
  esac
}

failed=()
printf '%-16s %12s %8s  %s\n' target executions seconds result
for target in "${targets[@]}"; do
  corpus=$work/$target
  findings=$build_dir/fuzz-findings/$target
  log=$build_dir/fuzz-logs/$target.log
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  cp fuzz/corpus/"$target"/* "$corpus"/
  started=$(date +%s)
  result=clean
  # shellcheck disable=SC2046
  if ! TMPDIR=$work ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "$build_dir/fuzz/fuzz_$target" $(options_for "$target") -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1; then
    result="FINDING (see $log and $findings/)"
    failed+=("$target")
  fi
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  printf '%-16s %12s %8s  %s\n' "$target" "${executions:-?}" "$(($(date +%s) - started))" "$result"
done

if [ ${#failed[@]} -gt 0 ]; then
  for target in "${failed[@]}"; do
    echo "---- $target: end of $build_dir/fuzz-logs/$target.log"
    tail -n 40 "$build_dir/fuzz-logs/$target.log"
  done
  exit 1
fi
