#!/usr/bin/env bash
# Benchmark (not a test): a complete checker run against the curl tool fetching the same local
# HTTPS document with the same CA, alternately; prints median wall time and peak memory of each.
# Usage: scripts/bench-checker.sh [runs per program, default 50]
# CHECKER=path measures that checker program instead of building the tree's into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
runs=${1:-50}

bash scripts/install-deps.sh
checker=${CHECKER:-}
if [ -z "$checker" ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j 2 --target checker >/dev/null
  checker=$repo/build/checker/checker
fi

# Both programs fetch from 127.0.0.1 directly: no proxy set for this shell in between.
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY
work=$(mktemp -d /tmp/checker-bench-XXXXXX)
PYTHONPATH=$repo/tests/lib PYTHONDONTWRITEBYTECODE=1 python3 -m fixtures.demo_service "$work/service" &
service_pid=$!
trap 'kill "$service_pid" 2>/dev/null || true; wait "$service_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 200); do
  [ -f "$work/service/service.json" ] && break
  sleep 0.1
done

python3 - "$checker" "$work" "$runs" <<'PYTHON'
import json, os, statistics, subprocess, sys, time

checker, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
service = json.load(open(os.path.join(work, "service", "service.json")))
environment = dict(os.environ, XDG_DATA_HOME=os.path.join(work, "data"))


def measure(command):
    """Wall seconds and peak resident memory (KiB) of one run of command. GNU time reports the
    memory: a child forked from this Python process would inherit Python's own peak."""
    report = os.path.join(work, "time-report")
    started = time.perf_counter()
    finished = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report, *command], env=environment,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elapsed = time.perf_counter() - started
    if finished.returncode != 0:
        sys.exit(f"failed: {command}")
    return elapsed, int(open(report).read().split()[-1])


print(f"{'url host':<10} {'fdset ms':>8} {'checker ms':>10} {'curl ms':>8} {'ratio':>6} "
      f"{'checker KiB':>11} {'curl KiB':>9} {'ratio':>6}")
for host, url in (("127.0.0.1", service["url"]), ("localhost", service["localhost_url"])):
    for fdset_millis in (100, 5):
        config = os.path.join(work, f"config-{host}-{fdset_millis}.json")
        json.dump({"remote_version_url": url, "curl_cainfo_filename": service["ca_file"],
                   "curl_fdset_timeout_millis": fdset_millis}, open(config, "w"))
        checker_command = [checker, "--config", config]
        curl_command = ["curl", "--silent", "--show-error", "--fail", "--http1.0", "--compressed",
                        "--cacert", service["ca_file"], "--output", os.devnull, url]
        measure(checker_command), measure(curl_command)  # warm-up: caches, the first version.json
        results = {"checker": [], "curl": []}
        for _ in range(runs):
            results["checker"].append(measure(checker_command))
            results["curl"].append(measure(curl_command))
        time_median = {name: statistics.median(t for t, _ in values) * 1000 for name, values in results.items()}
        peak_memory = {name: max(m for _, m in values) for name, values in results.items()}
        print(f"{host:<10} {fdset_millis:>8} {time_median['checker']:>10.1f} {time_median['curl']:>8.1f} "
              f"{time_median['checker'] / time_median['curl']:>6.2f} {peak_memory['checker']:>11} "
              f"{peak_memory['curl']:>9} {peak_memory['checker'] / peak_memory['curl']:>6.2f}")
PYTHON
