#!/usr/bin/env bash
# Cross-compiles the Wine harness probe: build.sh OUTPUT_DIR -> tray_probe.exe and, as the
# control case for the common-controls check, tray_probe_nomanifest.exe without the manifest.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:?usage: build.sh OUTPUT_DIR}
mkdir -p "$out"
compile() {
  x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -Wall -Wextra -Werror -static -mwindows \
    -I "$here/../../../support" "$here/tray_probe.cpp" "$@" -lcomctl32 -lshell32 -luser32 -lgdi32
}
# The manifest is embedded as resource 1 of type 24, which binds common controls 6.
(cd "$here" && x86_64-w64-mingw32-windres tray_probe.rc -O coff -o "$out/tray_probe_res.o")
compile "$out/tray_probe_res.o" -o "$out/tray_probe.exe"
compile -o "$out/tray_probe_nomanifest.exe"
