#!/usr/bin/env bash
# Cross-builds Quorvane's third-party libraries (jansson, popt, zlib, OpenSSL, libcurl) as static x86_64-w64-mingw32 archives from Debian 12 sources.
# libcurl has SSPI, so a proxy can be answered with the Windows logon (Negotiate, NTLM).
#
# Usage (as root on Debian 12):
#     PREFIX=$(bash windows/build-deps.sh | tail -1)
#
# What is built and how is windows/deps-recipe.sh. The libraries are installed
# into a prefix cached outside the work tree, /var/cache/quorvane-windeps/<key>/,
# where <key> is a hash of that recipe, the Debian source versions and the cross
# compiler version; the rest of this script (tools, sources, locking, checks)
# decides nothing about what is built and is not part of the key. A new prefix
# is complete only once the smoke program (windows/deps-smoke/) links against it,
# imports only the DLLs of windows/system-dlls.txt and, with Wine installed, runs.
# A run with a warm cache only resolves the versions and prints the prefix. All
# progress goes to stderr; the prefix path is the last (only) line on stdout.
#
# Environment knobs:
#     WINDEPS_CACHE   cache root            (default /var/cache/quorvane-windeps)
#     WINDEPS_WORK    build scratch space   (default /var/tmp/windeps-build)
#     WINDEPS_JOBS    parallel make jobs    (default 2)
#     WINDEPS_RETRY=1 retry source versions that failed to download earlier
#     WINDEPS_KEEP_BUILD=1  keep the scratch build trees after success
set -euo pipefail

SCRIPT_PATH=$(readlink -f "${BASH_SOURCE[0]}")
SOURCE_ROOT=$(dirname "$(dirname "$SCRIPT_PATH")")
CACHE_ROOT=${WINDEPS_CACHE:-/var/cache/quorvane-windeps}
WORK_ROOT=${WINDEPS_WORK:-/var/tmp/windeps-build}
JOBS=${WINDEPS_JOBS:-2}
# What is built and how (the cache key covers that file).
RECIPE_PATH=$SOURCE_ROOT/windows/deps-recipe.sh
# shellcheck source=windows/deps-recipe.sh
source "$RECIPE_PATH"

export DEBIAN_FRONTEND=noninteractive
export LC_ALL=C

log() { printf '[build-deps] %s\n' "$*" >&2; }
die() { printf '[build-deps] error: %s\n' "$*" >&2; exit 1; }

# Runs a command with its output sent to a log file; on failure shows the
# tail of the log and stops.
run_logged() {
    local logfile=$1; shift
    if ! "$@" >>"$logfile" 2>&1; then
        log "command failed: $*"
        log "last lines of $logfile:"
        tail -n 40 "$logfile" >&2
        exit 1
    fi
}

[ "$(id -u)" -eq 0 ] || die "must run as root (installs packages and writes $CACHE_ROOT)"

# ---------------------------------------------------------------- tools ----

REQUIRED_CMDS=(
    "$HOST-gcc-posix" "$HOST-g++-posix" "$HOST-windres" "$HOST-ar" "$HOST-ranlib"
    "$HOST-objdump" cmake autoreconf automake libtoolize pkg-config make perl
    dpkg-source dpkg-architecture dpkg-parsechangelog patch xz sha256sum flock
)
APT_PACKAGES=(
    mingw-w64 gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix
    binutils-mingw-w64-x86-64 cmake autoconf automake libtool pkg-config make
    perl dpkg-dev patch xz-utils ca-certificates coreutils util-linux
)

APT_UPDATED=0
apt_update_once() {
    if [ "$APT_UPDATED" -eq 0 ]; then
        log "apt-get update"
        apt-get update -q >&2 || die "apt-get update failed"
        APT_UPDATED=1
    fi
}

ensure_tools() {
    local missing=() c
    for c in "${REQUIRED_CMDS[@]}"; do
        command -v "$c" >/dev/null 2>&1 || missing+=("$c")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "missing tools: ${missing[*]}; installing packages"
    apt_update_once
    apt-get install -y -q --no-install-recommends "${APT_PACKAGES[@]}" >&2 \
        || die "apt-get install failed"
    for c in "${REQUIRED_CMDS[@]}"; do
        command -v "$c" >/dev/null 2>&1 || die "still missing after install: $c"
    done
}

# Makes sure apt knows about source packages (deb-src), so that
# `apt-cache showsrc` and `apt-get source` work.
ensure_deb_src() {
    if [ -n "$(apt-cache showsrc jansson 2>/dev/null | sed -n 's/^Version: //p')" ]; then
        return 0
    fi
    local changed=0 f
    local deb822=/etc/apt/sources.list.d/debian.sources
    if [ -f "$deb822" ]; then
        if grep -Eq '^Types:' "$deb822" && grep -E '^Types:' "$deb822" | grep -vq 'deb-src'; then
            log "adding deb-src to $deb822"
            cp -n "$deb822" "$deb822.before-deb-src" 2>/dev/null || true
            sed -i -E '/^Types:/{/deb-src/!s/$/ deb-src/}' "$deb822"
            changed=1
        fi
    fi
    # Classic one-line sources: mirror every `deb` line as `deb-src` in a
    # separate file, once.
    local extra=/etc/apt/sources.list.d/quorvane-deb-src.list
    if [ ! -f "$extra" ]; then
        local lines=""
        for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
            [ -f "$f" ] || continue
            [ "$f" = "$extra" ] && continue
            lines+=$(grep -E '^deb[[:space:]]' "$f" | grep -Ei 'debian' | sed -E 's/^deb([[:space:]])/deb-src\1/' || true)
            lines+=$'\n'
        done
        lines=$(printf '%s\n' "$lines" | sed '/^$/d' | sort -u)
        if [ -n "$lines" ] && ! grep -rqsE '^deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list; then
            log "adding deb-src lines in $extra"
            printf '%s\n' "$lines" >"$extra"
            changed=1
        fi
    fi
    APT_UPDATED=0
    apt_update_once
    [ -n "$(apt-cache showsrc jansson 2>/dev/null | sed -n 's/^Version: //p')" ] \
        || die "no source packages known to apt even after adding deb-src (changed=$changed)"
}

# ------------------------------------------------------------- sources ----

SRC_CACHE=$CACHE_ROOT/src

# Prints the source versions apt knows for a package, newest first.
candidate_versions() {
    local pkg=$1 v sorted=() i j tmp
    mapfile -t sorted < <(apt-cache showsrc "$pkg" 2>/dev/null \
        | awk -v p="$pkg" '/^Package: /{cur=$2} /^Version: /{if (cur==p) print $2}' | sort -u)
    # insertion sort with Debian version ordering (only a handful of entries)
    for ((i = 1; i < ${#sorted[@]}; i++)); do
        tmp=${sorted[i]}; j=$((i - 1))
        while [ $j -ge 0 ] && dpkg --compare-versions "${sorted[j]}" lt "$tmp"; do
            sorted[j + 1]=${sorted[j]}; j=$((j - 1))
        done
        sorted[j + 1]=$tmp
    done
    for v in "${sorted[@]}"; do
        case $pkg in
            openssl) case $v in 3.0.*) ;; *) continue ;; esac ;;
        esac
        printf '%s\n' "$v"
    done
}

# Directory holding the downloaded .dsc and tarballs of pkg=version.
src_dir() { printf '%s/%s/%s' "$SRC_CACHE" "$1" "${2//:/_}"; }

# Downloads pkg=version into the source cache. Returns non-zero if the
# archive no longer serves it (typical for superseded security uploads).
fetch_source() {
    local pkg=$1 ver=$2 dir tmp
    dir=$(src_dir "$pkg" "$ver")
    tmp=$(mktemp -d "$SRC_CACHE/.fetch.XXXXXX")
    chmod 755 "$tmp"
    log "fetching source $pkg=$ver"
    if (cd "$tmp" && apt-get source -q --download-only "$pkg=$ver") >"$tmp.log" 2>&1; then
        rm -rf "$dir"
        mkdir -p "$(dirname "$dir")"
        mv "$tmp" "$dir"
        mv "$tmp.log" "$dir/fetch.log"
        touch "$dir/.ok"
        return 0
    fi
    log "  $pkg=$ver is not downloadable: $(grep -m1 '^E:' "$tmp.log" || tail -n1 "$tmp.log")"
    rm -rf "$tmp" "$tmp.log"
    return 1
}

declare -A VERSION
resolve_versions() {
    local pkg ver dir found
    mkdir -p "$SRC_CACHE"
    for pkg in "${PKGS[@]}"; do
        found=""
        while read -r ver; do
            [ -n "$ver" ] || continue
            dir=$(src_dir "$pkg" "$ver")
            if [ -f "$dir/.ok" ]; then
                found=$ver; break
            fi
            if [ -f "$dir.unavailable" ] && [ "${WINDEPS_RETRY:-0}" != 1 ]; then
                continue
            fi
            if fetch_source "$pkg" "$ver"; then
                rm -f "$dir.unavailable"
                found=$ver; break
            fi
            mkdir -p "$(dirname "$dir")"
            touch "$dir.unavailable"
        done < <(candidate_versions "$pkg")
        [ -n "$found" ] || die "no downloadable source version of $pkg"
        VERSION[$pkg]=$found
        log "using $pkg $found"
    done
}

# Unpacks the cached source of a package into a fresh directory and prints it.
unpack_source() {
    local pkg=$1 ver=${VERSION[$1]} dir dest
    dir=$(src_dir "$pkg" "$ver")
    dest=$BUILD_DIR/$pkg
    rm -rf "$dest"
    # dpkg-source applies the Debian patch series while unpacking.
    run_logged "$BUILD_DIR/$pkg.log" dpkg-source --no-copy -x "$dir"/*.dsc "$dest"
    printf '%s' "$dest"
}

# ---------------------------------------------------------------- checks ----

# Builds the smoke program (windows/deps-smoke/) against the prefix with the programs' toolchain
# file, as the programs are built, and checks that it imports nothing but the system DLLs of
# windows/system-dlls.txt.
smoke_test() {
    local dir=$BUILD_DIR/smoke log=$BUILD_DIR/smoke.log
    rm -rf "$dir"
    # The programs' build sees none of the variables cross_env sets for the libraries.
    run_logged "$log" env -u CC -u CXX -u CFLAGS -u CXXFLAGS -u CPPFLAGS -u LDFLAGS \
        cmake -S "$SOURCE_ROOT/windows/deps-smoke" -B "$dir" \
        -DCMAKE_TOOLCHAIN_FILE="$SOURCE_ROOT/cmake/mingw-w64.cmake" -DWINDEPS_PREFIX="$PREFIX" \
        -DCMAKE_BUILD_TYPE=Release
    run_logged "$log" cmake --build "$dir" -j "$JOBS"
    bash "$SOURCE_ROOT/windows/check-imports.sh" "$dir/deps_smoke.exe" >&2 \
        || die "the smoke program imports DLLs that are not part of Windows"
    smoke_run_under_wine "$dir"
}

# Runs the smoke program in a throw-away Wine prefix when Wine is installed (the Wine tests
# install it before the Windows build): it fails unless libcurl reports SSPI, NTLM and SPNEGO.
# Without Wine, the configure check in build_curl is all there is.
smoke_run_under_wine() {
    local dir=$1 status=0
    if ! command -v wine >/dev/null 2>&1; then
        log "smoke test not run: no wine here (SSPI checked in curl_config.h only)"
        return 0
    fi
    (
        export WINEPREFIX=$dir/wineprefix WINEARCH=win64 WINEDEBUG=-all
        export WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'
        unset DISPLAY
        timeout 300 wine "$dir/deps_smoke.exe" --verbose >"$dir/smoke-run.log" 2>"$dir/smoke-run.err" || status=$?
        timeout 30 wineserver -k >/dev/null 2>&1 || true
        exit "$status"
    ) || status=$?
    sed 's/\r$//' "$dir/smoke-run.log" | while read -r line; do log "  $line"; done
    [ "$status" -eq 0 ] || die "smoke test under wine ended with status $status (3: libcurl lacks SSPI, NTLM or SPNEGO)"
    rm -rf "$dir/wineprefix"
}

# ------------------------------------------------------------------ main ----

mkdir -p "$CACHE_ROOT"
# Two builds at once: fetching sources into the shared source cache is done by one at a time
# (a fetch replaces a package's folder), and so is building (two builds on two cores only slow
# each other down; a second build of the same key then finds the first one's result).
take_lock() {
    local fd=$1 file=$2 what=$3
    if ! flock -n "$fd"; then
        log "waiting for another build-deps run ($what, lock $file)"
        flock "$fd"
    fi
}

ensure_tools
ensure_deb_src
exec 8>"$CACHE_ROOT/.source-lock"
take_lock 8 "$CACHE_ROOT/.source-lock" "fetching sources"
resolve_versions
exec 8>&-

KEY=$(
    {
        cat "$RECIPE_PATH"
        for pkg in "${PKGS[@]}"; do printf '%s=%s\n' "$pkg" "${VERSION[$pkg]}"; done
        "$HOST-gcc-posix" -dumpfullversion -dumpversion 2>/dev/null || true
        dpkg-query -W -f='${Version}\n' mingw-w64-common 2>/dev/null || true
    } | sha256sum | cut -c1-16
)
PREFIX=$CACHE_ROOT/$KEY

if [ -f "$PREFIX/.complete" ]; then
    log "up to date: $PREFIX"
    printf '%s\n' "$PREFIX"
    exit 0
fi

exec 9>"$CACHE_ROOT/.lock"
take_lock 9 "$CACHE_ROOT/.lock" "building"
# Another run may have finished the same build while we waited.
if [ -f "$PREFIX/.complete" ]; then
    log "up to date: $PREFIX"
    printf '%s\n' "$PREFIX"
    exit 0
fi

BUILD_DIR=$WORK_ROOT/$KEY
mkdir -p "$BUILD_DIR" "$PREFIX/.stamps"
log "building into $PREFIX (scratch space $BUILD_DIR)"
cross_env

start_all=$SECONDS
for pkg in "${BUILD_ORDER[@]}"; do
    stamp=$PREFIX/.stamps/$pkg
    if [ -f "$stamp" ]; then
        log "$pkg ${VERSION[$pkg]}: already built"
        continue
    fi
    log "$pkg ${VERSION[$pkg]}: building (log: $BUILD_DIR/$pkg.log)"
    : >"$BUILD_DIR/$pkg.log"
    t0=$SECONDS
    "build_$pkg"
    printf '%s %s\n' "${VERSION[$pkg]}" "$SOURCE_DATE_EPOCH" >"$stamp"
    log "$pkg: done in $((SECONDS - t0))s"
done

for pkg in "${PKGS[@]}"; do
    printf '%s=%s\n' "$pkg" "${VERSION[$pkg]}"
done >"$PREFIX/VERSIONS"
# The date each library was built with, for the build information of the programs.
for pkg in "${PKGS[@]}"; do
    printf '%s=%s\n' "$pkg" "$(cut -d' ' -f2 "$PREFIX/.stamps/$pkg")"
done >"$PREFIX/SOURCE_DATE_EPOCHS"
smoke_test
touch "$PREFIX/.complete"
log "all libraries built in $((SECONDS - start_all))s"

if [ "${WINDEPS_KEEP_BUILD:-0}" != 1 ]; then
    rm -rf "$BUILD_DIR"
fi

printf '%s\n' "$PREFIX"
