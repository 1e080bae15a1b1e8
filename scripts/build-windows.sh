#!/usr/bin/env bash
# Cross-builds checker.exe, checkerw.exe and notifier.exe (with icon.bmp) for 64-bit Windows; idempotent.
#
# Usage: scripts/build-windows.sh [build-dir]      (default build-win; results in <build-dir>/out/)
# Installs MinGW-w64 and builds the static third-party libraries on first use
# (windows/build-deps.sh, cached outside the tree), configures with cmake/mingw-w64.cmake,
# builds the programs, copies them stripped into out/ and checks that they import nothing but
# the system DLLs of windows/system-dlls.txt. Two builds of the same sources with the same Debian
# packages give the same bytes: every date in them is SOURCE_DATE_EPOCH (the caller's, else the
# time of the HEAD commit), and out/ gets SHA256SUMS and BUILDINFO (the epoch and the package
# versions a rebuild needs).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build_dir=${1:-build-win}
out_dir=$build_dir/out
host=x86_64-w64-mingw32

# Outside a git checkout, without the caller's value, a fixed date (2024-01-01).
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 1704067200)
fi
[[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || { echo "build-windows: SOURCE_DATE_EPOCH is not a number of seconds: $SOURCE_DATE_EPOCH" >&2; exit 1; }
export SOURCE_DATE_EPOCH
echo "build-windows: SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH"

prefix=$(bash windows/build-deps.sh | tail -n 1)
[ -d "$prefix/lib" ] || { echo "build-windows: no dependency prefix from windows/build-deps.sh" >&2; exit 1; }
python3 --version >/dev/null  # the icon and the string table are generated with it

cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DWINDEPS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=OFF
cmake --build "$build_dir" -j 2 --target checker checkerw notifier

mkdir -p "$out_dir"
# checkerw is built in the checker's folder.
for built in checker/checker checker/checkerw notifier/notifier; do
  "$host-strip" -o "$out_dir/${built#*/}.exe" "$build_dir/$built.exe"
done

# Only checker.exe is a console program (subsystem 3); checkerw.exe and notifier.exe, which tasks
# start in the user's session, are GUI programs (subsystem 2), so no console window appears.
for program_subsystem in checker:3 checkerw:2 notifier:2; do
  program=${program_subsystem%:*}
  subsystem=$("$host-objdump" -p "$out_dir/$program.exe" | sed -n 's/^Subsystem[[:space:]]*0*\([0-9]*\).*/\1/p')
  if [ "$subsystem" != "${program_subsystem#*:}" ]; then
    echo "build-windows: $program.exe has subsystem '$subsystem', not ${program_subsystem#*:}" >&2
    exit 1
  fi
done
cp -f "$build_dir/notifier/icon.bmp" "$out_dir/icon.bmp"

# ld and strip both write SOURCE_DATE_EPOCH as the PE time stamp (and the checksum follows it).
want_stamp=$(TZ=UTC0 LC_ALL=C date -d "@$SOURCE_DATE_EPOCH" '+%a %b %e %H:%M:%S %Y')
for program in checker checkerw notifier; do
  stamp=$(TZ=UTC0 LC_ALL=C "$host-objdump" -p "$out_dir/$program.exe" | sed -n 's/^Time\/Date[[:space:]]*//p')
  if [ "$stamp" != "$want_stamp" ]; then
    echo "build-windows: $program.exe has the PE time stamp '$stamp', not SOURCE_DATE_EPOCH ($want_stamp)" >&2
    exit 1
  fi
done

# Only DLLs that every Windows installation has may be imported: the programs are shipped alone.
bash windows/check-imports.sh "$out_dir/checker.exe" "$out_dir/checkerw.exe" "$out_dir/notifier.exe"

# What someone needs to rebuild the same bytes; the same sources and packages give the same text.
package_version() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || echo "not installed"; }
commit=$(git -C "$root" rev-parse HEAD 2>/dev/null || echo "unknown (not a git checkout)")
if [ "${commit#unknown}" = "$commit" ] && ! git -C "$root" diff --quiet HEAD 2>/dev/null; then
  commit="$commit, with changes not committed"
fi
{
  echo "checker.exe, checkerw.exe and notifier.exe for 64-bit Windows, built by scripts/build-windows.sh"
  echo "source: $commit"
  echo "SOURCE_DATE_EPOCH: $SOURCE_DATE_EPOCH ($(TZ=UTC0 date -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC'))"
  echo "libraries (Debian source package, version, SOURCE_DATE_EPOCH of its debian/changelog), built by windows/build-deps.sh:"
  while IFS='=' read -r package version; do
    echo "  $package $version $(sed -n "s/^$package=//p" "$prefix/SOURCE_DATE_EPOCHS")"
  done <"$prefix/VERSIONS"
  echo "toolchain (Debian packages, and the Python that ran):"
  for package in gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix gcc-mingw-w64-base \
    binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev mingw-w64-common cmake; do
    echo "  $package $(package_version "$package")"
  done
  echo "  $(python3 --version) (draws the icons, writes the string table)"
} >"$out_dir/BUILDINFO"
(cd "$out_dir" && sha256sum checker.exe checkerw.exe notifier.exe icon.bmp >SHA256SUMS)

ls -l "$out_dir"
cat "$out_dir/SHA256SUMS"
