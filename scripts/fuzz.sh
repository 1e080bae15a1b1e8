#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan, UBSan) in the clang sanitizer tree that the tests
# share, and runs each for a while on a scratch copy of its committed seed corpus, as many at once
# as there are cores. Any finding fails the run: a crash, a leak, a time-out, a sanitizer report
# or a broken property. Findings and logs stay in the build tree's fuzz-findings/ and fuzz-logs/.
#
# Usage: scripts/fuzz.sh [seconds-per-target]    (default 30)
# FUZZ_TARGETS="dm_response version_file" limits the run to some targets (fuzz/CMakeLists.txt
# lists them all); FUZZ_JOBS sets how many run at once.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
build_dir=build-sanitize
jobs=${FUZZ_JOBS:-$(nproc)}

bash scripts/configure-sanitize.sh "$build_dir"
cmake --build "$build_dir" --target fuzz_targets -j 2
read -r -a targets <<<"${FUZZ_TARGETS:-$(cat "$build_dir/fuzz/targets.txt")}"

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

# Runs one target; its line of the table goes to $work/<target>.line.
fuzz_one() {
  local target=$1 corpus=$work/$1 findings=$build_dir/fuzz-findings/$1 log=$build_dir/fuzz-logs/$1.log
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  cp fuzz/corpus/"$target"/* "$corpus"/
  local started result=clean executions
  started=$(date +%s)
  # shellcheck disable=SC2046
  if ! TMPDIR=$work ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "$build_dir/fuzz/fuzz_$target" $(options_for "$target") -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1; then
    result="FINDING (see $log and $findings/)"
    touch "$work/$target.failed"
  fi
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  printf '%-16s %12s %8s  %s\n' "$target" "${executions:-?}" "$(($(date +%s) - started))" "$result" >"$work/$target.line"
}

for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
    wait -n || true
  done
  fuzz_one "$target" &
done
wait

printf '%-16s %12s %8s  %s\n' target executions seconds result
failed=()
for target in "${targets[@]}"; do
  cat "$work/$target.line"
  [ ! -e "$work/$target.failed" ] || failed+=("$target")
done
if [ ${#failed[@]} -gt 0 ]; then
  for target in "${failed[@]}"; do
    echo "---- $target: end of $build_dir/fuzz-logs/$target.log"
    tail -n 40 "$build_dir/fuzz-logs/$target.log"
  done
  exit 1
fi
