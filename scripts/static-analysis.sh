#!/usr/bin/env bash
# Static analysis of the project's own sources in the POSIX build: clang-tidy with the checks of
# .clang-tidy, then cppcheck. Any finding fails the run.
#
# Usage: scripts/static-analysis.sh
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build-sanitize
analysis_dir=$build_dir/analysis

# The clang tree's compilation database (the fuzz targets are in it, so fuzz/ is analysed too).
bash scripts/configure-sanitize.sh "$build_dir"

# Our own translation units only (no generated sources, no tests), each once.
mkdir -p "$analysis_dir"
python3 - "$PWD" "$build_dir/compile_commands.json" "$analysis_dir/compile_commands.json" <<'PY'
import json, os, sys
root, source, target = sys.argv[1:]
folders = tuple(os.path.join(root, name) + os.sep for name in ("support", "checker", "notifier", "fuzz"))
seen, kept = set(), []
for entry in json.load(open(source)):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    if path.startswith(folders) and os.sep + "tests" + os.sep not in path and path not in seen:
        seen.add(path)
        kept.append(entry)
json.dump(kept, open(target, "w"), indent=1)
PY

status=0
started=$(date +%s)
# A run over exactly the same sources, headers, settings and tool as the last clean one is skipped.
tidy_key=$({
  clang-tidy-14 --version
  cat .clang-tidy release.env "$analysis_dir/compile_commands.json"
  find support checker notifier fuzz -type f \( -name '*.cpp' -o -name '*.hpp' -o -name '*.h' -o -name '*.c' \) |
    LC_ALL=C sort | xargs sha256sum
} | sha256sum | cut -c1-16)
if [ -e "$analysis_dir/clang-tidy-clean-$tidy_key" ]; then
  echo "clang-tidy: clean (nothing changed since the last clean run)"
else
echo "clang-tidy: $(python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))))' "$analysis_dir/compile_commands.json") files"
python3 -c 'import json,sys; print("\n".join(e["file"] for e in json.load(open(sys.argv[1]))))' \
    "$analysis_dir/compile_commands.json" |
  xargs -P 2 -n 4 clang-tidy-14 -p "$analysis_dir" --quiet >"$analysis_dir/clang-tidy.log" 2>&1 || status=1
if grep -qE '(warning|error):' "$analysis_dir/clang-tidy.log"; then
  status=1
fi
if [ $status -ne 0 ]; then
  grep -vE '^[0-9]+ (warning|error)s? generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|NOLINT' \
    "$analysis_dir/clang-tidy.log" || true
fi
echo "clang-tidy: $([ $status -eq 0 ] && echo clean || echo FINDINGS) in $(($(date +%s) - started)) s"
if [ $status -eq 0 ]; then
  rm -f "$analysis_dir"/clang-tidy-clean-*
  touch "$analysis_dir/clang-tidy-clean-$tidy_key"
fi
fi

# cppcheck suppressions, each with its reason:
#   uninitMemberVar in file_access.cpp: cppcheck does not see the member initialisers of
#   FileHandle's function-try-block constructor.
started=$(date +%s)
cppcheck_status=0
cppcheck --project="$analysis_dir/compile_commands.json" --std=c++17 -j 2 --quiet \
  --enable=warning,performance,portability --inline-suppr --error-exitcode=1 \
  --suppress="uninitMemberVar:*support/file_access.cpp" \
  --cppcheck-build-dir="$analysis_dir" 2>&1 || cppcheck_status=1
echo "cppcheck: $([ $cppcheck_status -eq 0 ] && echo clean || echo FINDINGS) in $(($(date +%s) - started)) s"

exit $((status | cppcheck_status))
