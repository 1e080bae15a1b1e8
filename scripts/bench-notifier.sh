#!/usr/bin/env bash
# Benchmark (not a test): the notifier's NOGO run with a version.json present, the run the
# scheduled task makes almost every time; prints median and spread of wall time and peak memory,
# beside /bin/true as the cost of starting any process.
# Usage: scripts/bench-notifier.sh [runs, default 200]; BENCH_BUILD_DIR names the build (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
# shellcheck source=release.env
source release.env
runs=${1:-200}
build=${BENCH_BUILD_DIR:-build}

bash scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 2 --target notifier >/dev/null

work=$(mktemp -d /tmp/notifier-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

python3 - "$repo/$build/notifier/notifier" "$work" "$runs" "$VENDOR" "$PACKAGE_NAME" "$SHIPPED_VERSION_NUMBER" <<'PYTHON'
import json, os, statistics, subprocess, sys, time

notifier, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
vendor, package, shipped = sys.argv[4], sys.argv[5], int(sys.argv[6])
update = os.path.join(work, "data", vendor, package, "update")
os.makedirs(update)
os.makedirs(os.path.join(work, "run"))
# A descriptor as the checker stores it, one version older than the shipped one: NOGO, no error.
with open(os.path.join(update, "version.json"), "w", newline="\r\n") as document:
    json.dump({"package_name": package, "package_description": "OpenJDK runtime", "os_name": "windows",
               "os_arch": "x86_64", "version_string": "1.8.0.212-1.b03", "version_number": shipped - 1,
               "ui_balloon_text": "OpenJDK version 1.8.0.212-1.b03 is available for download",
               "ui_update_header": "header", "ui_update_text": "text"}, document, indent=4)
environment = dict(os.environ, XDG_DATA_HOME=os.path.join(work, "data"), XDG_RUNTIME_DIR=os.path.join(work, "run"))
environment.pop("NOTIFIER_USER_ACTIONS", None)


def measure(command):
    """Wall seconds and peak resident memory (KiB) of one run. GNU time reports the memory: a child
    forked from this Python process would inherit Python's own peak."""
    report = os.path.join(work, "time-report")
    started = time.perf_counter()
    finished = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report, *command], env=environment,
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    elapsed = time.perf_counter() - started
    if finished.returncode != 0 or "standin: icon" in finished.stderr:
        sys.exit(f"not a quiet NOGO run: {command}: {finished.returncode} {finished.stderr}")
    return elapsed, int(open(report).read().split()[-1])


print(f"{runs} runs each")
print(f"{'program':<10} {'median ms':>9} {'p10 ms':>7} {'p90 ms':>7} {'max ms':>7} {'median KiB':>10} {'max KiB':>8}")
for name, command in (("notifier", [notifier]), ("true", ["/bin/true"])):
    measure(command)  # warm-up: page cache
    results = [measure(command) for _ in range(runs)]
    times = sorted(t * 1000 for t, _ in results)
    memory = [m for _, m in results]
    deciles = statistics.quantiles(times, n=10)
    print(f"{name:<10} {statistics.median(times):>9.2f} {deciles[0]:>7.2f} {deciles[-1]:>7.2f} {times[-1]:>7.2f} "
          f"{statistics.median(memory):>10.0f} {max(memory):>8}")
PYTHON
