#!/usr/bin/env bash
# Runs the black-box tests of the checker and the notifier with every program run under valgrind
# memcheck; any memory error or definite/indirect leak fails the run.
#
# Builds a normal (non-sanitizer) build in build-valgrind. Every run writes its own log to
# build-valgrind/valgrind-logs/; the summary at the end counts runs, errors and lost bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh
bash scripts/apt-install.sh valgrind

build=build-valgrind
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_SANITIZE=OFF
cmake --build "$build" -j 2 --target checker notifier

logs=$root/$build/valgrind-logs
rm -rf "$logs"
mkdir -p "$logs"

# A finding makes the program exit with 97, which fails the test that ran it; the logs are
# checked again below so that nothing passes unseen. "Possible" leaks and memory still reachable
# at exit are not findings: they are the libraries' one-time global state.
wrapper="valgrind --tool=memcheck --error-exitcode=97 --leak-check=full --show-leak-kinds=definite,indirect
  --errors-for-leak-kinds=definite,indirect --track-origins=yes --num-callers=30 --child-silent-after-fork=yes
  --suppressions=$root/tests/robustness/valgrind.supp --log-file=$logs/%p.log"
wrapper=$(echo $wrapper)

checker=$root/$build/checker/checker
notifier=$root/$build/notifier/notifier
status=0

echo "== checker black-box tests under valgrind"
(cd checker/tests/blackbox &&
  CHECKER_COMMAND="$wrapper $checker" CHECKER_TIME_SCALE=10 PYTHONPATH="$root/tests/lib" PYTHONDONTWRITEBYTECODE=1 \
    python3 -m unittest test_version_check test_command_line_and_files test_misbehaving_servers) || status=1

echo "== notifier runs under valgrind"
(cd notifier/tests &&
  NOTIFIER="$notifier" NOTIFIER_WRAPPER="$wrapper" PYTHONPATH="$root/tests/lib" PYTHONDONTWRITEBYTECODE=1 \
    python3 test_notifier_runs.py NogoTests GoTests DialogTests TaskbarTests) || status=1

runs=$(find "$logs" -name '*.log' | wc -l)
with_errors=$(grep -L "ERROR SUMMARY: 0 errors" "$logs"/*.log | wc -l || true)
definite=$(grep -h "definitely lost:" "$logs"/*.log | awk '{gsub(",", "", $4); sum += $4} END {print sum + 0}')
indirect=$(grep -h "indirectly lost:" "$logs"/*.log | awk '{gsub(",", "", $4); sum += $4} END {print sum + 0}')
echo "valgrind: $runs program runs, $with_errors with errors, definitely lost $definite bytes, indirectly lost $indirect bytes"
if [ "$runs" -eq 0 ] || [ "$with_errors" -ne 0 ] || [ "$definite" -ne 0 ] || [ "$indirect" -ne 0 ]; then
  for log in $(grep -L "ERROR SUMMARY: 0 errors" "$logs"/*.log || true); do
    echo "---- $log"
    cat "$log"
  done
  status=1
fi
exit $status
