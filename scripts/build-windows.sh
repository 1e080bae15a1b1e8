#!/usr/bin/env bash
# Cross-builds checker.exe and notifier.exe (with icon.bmp) for 64-bit Windows; idempotent.
#
# Usage: scripts/build-windows.sh [build-dir]      (default build-win; results in <build-dir>/out/)
# Installs MinGW-w64 and builds the static third-party libraries on first use
# (windows/build-deps.sh, cached outside the tree), configures with cmake/mingw-w64.cmake,
# builds both programs, copies them stripped into out/ and checks that they import nothing but
# system DLLs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build_dir=${1:-build-win}
out_dir=$build_dir/out
host=x86_64-w64-mingw32

prefix=$(bash windows/build-deps.sh | tail -n 1)
[ -d "$prefix/lib" ] || { echo "build-windows: no dependency prefix from windows/build-deps.sh" >&2; exit 1; }
python3 --version >/dev/null  # the icon and the string table are generated with it

cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DWINDEPS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=OFF
cmake --build "$build_dir" -j 2 --target checker notifier

mkdir -p "$out_dir"
for program in checker notifier; do
  "$host-strip" -o "$out_dir/$program.exe" "$build_dir/$program/$program.exe"
done
cp -f "$build_dir/notifier/icon.bmp" "$out_dir/icon.bmp"

# Only DLLs that every Windows installation has may be imported: the programs are shipped alone.
# (winhttp: the user's Internet settings; secur32: SSPI, which libcurl may also load at run time.)
system_dlls='^(kernel32|user32|gdi32|shell32|ole32|comctl32|advapi32|ws2_32|crypt32|bcrypt|msvcrt|winhttp|secur32)\.dll$'
status=0
for program in checker notifier; do
  while read -r dll; do
    if ! printf '%s\n' "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$system_dlls"; then
      echo "build-windows: $program.exe imports a DLL that is not part of Windows: $dll" >&2
      status=1
    fi
  done < <("$host-objdump" -p "$out_dir/$program.exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
done
[ "$status" -eq 0 ] || exit 1

ls -l "$out_dir"
