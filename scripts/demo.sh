#!/usr/bin/env bash
# Demo: the checker fetches a DM response from a local HTTPS metadata service (nginx with a
# fresh test certificate), stores the newer version.json, and finds nothing new on a second run.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
# shellcheck source=release.env
source release.env

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j 2

demo=$repo/build/demo
rm -rf "$demo"
mkdir -p "$demo"
# Per-user files go below the demo folder, never into the real data folder.
export XDG_DATA_HOME=$demo/data
# The service is on 127.0.0.1: a proxy set for this shell would only come in between.
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY

PYTHONPATH=$repo/tests/lib PYTHONDONTWRITEBYTECODE=1 python3 -m fixtures.demo_service "$demo/service" &
service_pid=$!
trap 'kill "$service_pid" 2>/dev/null || true; wait "$service_pid" 2>/dev/null || true' EXIT
for _ in $(seq 200); do
  [ -f "$demo/service/service.json" ] && break
  kill -0 "$service_pid" 2>/dev/null || { echo "the local HTTPS service did not start" >&2; exit 1; }
  sleep 0.1
done
[ -f "$demo/service/service.json" ] || { echo "the local HTTPS service did not start in time" >&2; exit 1; }

python3 - "$demo/service/service.json" "$demo/config.json" "$VENDOR" "$PACKAGE_NAME" <<'PYTHON'
import json, sys
service = json.load(open(sys.argv[1]))
json.dump({
    "remote_version_url": service["url"],
    "curl_cainfo_filename": service["ca_file"],
    "vendor_name": sys.argv[3],
    "application_name": sys.argv[4],
    "system_trace_enable": True,
}, open(sys.argv[2], "w"), indent=4)
PYTHON

checker=$repo/build/checker/checker
update_folder=$XDG_DATA_HOME/$VENDOR/$PACKAGE_NAME/update

echo "== config.json"
cat "$demo/config.json"; echo
echo "== first run: the service offers a newer version"
"$checker" --config "$demo/config.json"
echo "(exit status $?)"
echo "== stored $update_folder/version.json"
cat "$update_folder/version.json"; echo
echo "== trace.json of that run"
cat "$update_folder/trace.json"; echo
echo "== second run: nothing new, so no INFO line and version.json stays as it is"
"$checker" --config "$demo/config.json"
echo "(exit status $?)"

echo "== notifier, with the stored version.json"
bash scripts/demo-notifier.sh
