#!/usr/bin/env bash
# Cross-builds Quorvane's third-party libraries (jansson, popt, zlib, OpenSSL, libcurl) as static x86_64-w64-mingw32 archives from Debian 12 sources.
# libcurl has SSPI, so a proxy can be answered with the Windows logon (Negotiate, NTLM).
#
# Usage (as root on Debian 12):
#     PREFIX=$(bash windows/build-deps.sh | tail -1)
#
# The libraries are installed into a prefix cached outside the work tree,
# /var/cache/quorvane-windeps/<key>/, where <key> is a hash of this script,
# the Debian source versions and the cross compiler version. A run with a warm
# cache only resolves the versions and prints the prefix. All progress goes to
# stderr; the prefix path is the last (only) line on stdout.
#
# Environment knobs:
#     WINDEPS_CACHE   cache root            (default /var/cache/quorvane-windeps)
#     WINDEPS_WORK    build scratch space   (default /var/tmp/windeps-build)
#     WINDEPS_JOBS    parallel make jobs    (default 2)
#     WINDEPS_RETRY=1 retry source versions that failed to download earlier
#     WINDEPS_KEEP_BUILD=1  keep the scratch build trees after success
set -euo pipefail

SCRIPT_PATH=$(readlink -f "${BASH_SOURCE[0]}")
CACHE_ROOT=${WINDEPS_CACHE:-/var/cache/quorvane-windeps}
WORK_ROOT=${WINDEPS_WORK:-/var/tmp/windeps-build}
JOBS=${WINDEPS_JOBS:-2}
HOST=x86_64-w64-mingw32
PKGS=(jansson popt zlib openssl curl)
# Only administrators can write below "Program Files", so a static libcrypto
# that looks for openssl.cnf there cannot be fed a planted config file.
OPENSSLDIR_WIN='C:/Program Files/Common Files/SSL'

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

# --------------------------------------------------------------- builds ----

# Like Debian's own package builds, a library is built with SOURCE_DATE_EPOCH set to the date of
# the latest entry in its debian/changelog, so that a date it records (OpenSSL's "built on")
# is the same on every machine and every day.
use_changelog_epoch() {
    SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l "$1/debian/changelog" -STimestamp)
    [ -n "$SOURCE_DATE_EPOCH" ] || die "no date in $1/debian/changelog"
    export SOURCE_DATE_EPOCH
}

cross_env() {
    export CC=$HOST-gcc-posix CXX=$HOST-g++-posix
    export AR=$HOST-ar RANLIB=$HOST-ranlib NM=$HOST-nm STRIP=$HOST-strip
    export RC=$HOST-windres WINDRES=$HOST-windres
    export CFLAGS="-O2" CXXFLAGS="-O2"
    export CPPFLAGS="-I$PREFIX/include" LDFLAGS="-L$PREFIX/lib"
    export PKG_CONFIG_LIBDIR=$PREFIX/lib/pkgconfig
    unset PKG_CONFIG_PATH PKG_CONFIG_SYSROOT_DIR
}

BUILD_TRIPLE=$(dpkg-architecture -qDEB_BUILD_GNU_TYPE 2>/dev/null || echo x86_64-linux-gnu)

build_jansson() {
    local src log=$BUILD_DIR/jansson.log
    src=$(unpack_source jansson)
    use_changelog_epoch "$src"
    run_logged "$log" cmake -S "$src" -B "$src/_build" -G "Unix Makefiles" \
        -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=x86_64 \
        -DCMAKE_C_COMPILER="$CC" -DCMAKE_RC_COMPILER="$RC" \
        -DCMAKE_AR="$(command -v "$AR")" -DCMAKE_RANLIB="$(command -v "$RANLIB")" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
        -DCMAKE_INSTALL_LIBDIR=lib \
        -DJANSSON_BUILD_SHARED_LIBS=OFF -DJANSSON_BUILD_DOCS=OFF \
        -DJANSSON_WITHOUT_TESTS=ON -DJANSSON_EXAMPLES=OFF \
        -DJANSSON_COVERAGE=OFF -DUSE_URANDOM=OFF -DUSE_WINDOWS_CRYPTOAPI=ON
    run_logged "$log" make -C "$src/_build" -j"$JOBS"
    run_logged "$log" make -C "$src/_build" install
}

# popt needs two changes to build for Windows: there is no terminal
# window-size ioctl, and no user ids to compare before exec'ing an alias.
patch_popt() {
    local src=$1
    perl -0pi -e 's{#define\s+POPT_USE_TIOCGWINSZ\n}{#if !defined(_WIN32)\n#define        POPT_USE_TIOCGWINSZ\n#endif\n}' "$src/src/popthelp.c"
    grep -q '#if !defined(_WIN32)' "$src/src/popthelp.c" || die "popt: window-size fix did not apply"
    perl -0pi -e 's{(\n)(\s*/\* refuse to exec if we cannot drop suid/sgid privileges \*/\n\s*if \(getuid\(\) != geteuid\(\) \|\| getgid\(\) != getegid\(\)\) \{\n\s*errno = ENOTSUP;\n\s*goto exit;\n\s*\}\n)}{$1#if !defined(_WIN32)\n$2#endif\n}' "$src/src/popt.c"
    grep -B1 'refuse to exec if we cannot drop' "$src/src/popt.c" | grep -q '_WIN32' \
        || die "popt: user id fix did not apply"
}

build_popt() {
    local src log=$BUILD_DIR/popt.log
    src=$(unpack_source popt)
    use_changelog_epoch "$src"
    patch_popt "$src"
    (
        cd "$src"
        run_logged "$log" ./configure --host="$HOST" --build="$BUILD_TRIPLE" \
            --prefix="$PREFIX" --libdir="$PREFIX/lib" \
            --enable-static --disable-shared --disable-nls \
            --without-libiconv-prefix --disable-rpath
        run_logged "$log" make -C src -j"$JOBS"
        run_logged "$log" make -C src install
        # popt.pc belongs to the top-level Makefile, not to src/.
        run_logged "$log" make install-pkgconfigDATA
    )
}

build_zlib() {
    local src log=$BUILD_DIR/zlib.log
    src=$(unpack_source zlib)
    use_changelog_epoch "$src"
    (
        cd "$src"
        run_logged "$log" env CHOST="$HOST" ./configure --static \
            --prefix="$PREFIX" --libdir="$PREFIX/lib" --includedir="$PREFIX/include"
        run_logged "$log" make -j"$JOBS" libz.a
        run_logged "$log" make install
    )
}

build_openssl() {
    local src log=$BUILD_DIR/openssl.log
    src=$(unpack_source openssl)
    use_changelog_epoch "$src"
    (
        cd "$src"
        # OpenSSL needs nothing from the prefix, and its version info would
        # otherwise record the build machine's paths.
        unset CPPFLAGS LDFLAGS
        run_logged "$log" perl ./Configure mingw64 no-shared no-tests no-module \
            --prefix="$PREFIX" --libdir=lib --openssldir=/openssldir-placeholder
        # Configure treats a drive-letter path as relative and would put it
        # below --prefix, so the Windows locations go straight into the
        # Makefile (they end up as string constants inside libcrypto).
        sed -i \
            -e "s|^OPENSSLDIR=.*|OPENSSLDIR=$OPENSSLDIR_WIN|" \
            -e "s|^ENGINESDIR=.*|ENGINESDIR=$OPENSSLDIR_WIN/engines-3|" \
            -e "s|^MODULESDIR=.*|MODULESDIR=$OPENSSLDIR_WIN/ossl-modules|" \
            Makefile
        grep -q "^OPENSSLDIR=$OPENSSLDIR_WIN\$" Makefile || die "openssl: could not set OPENSSLDIR"
        run_logged "$log" make -j"$JOBS" build_libs
        run_logged "$log" make install_dev
    )
}

build_curl() {
    local src log=$BUILD_DIR/curl.log p
    src=$(unpack_source curl)
    use_changelog_epoch "$src"
    (
        cd "$src"
        # Debian's series ends with patches that rename the library for its
        # GnuTLS and NSS flavours; take them back out, newest first.
        for p in 99_nss.patch 90_gnutls.patch; do
            grep -qx "$p" debian/patches/series || continue
            if patch -p1 -R --dry-run -s -f <"debian/patches/$p" >/dev/null 2>&1; then
                run_logged "$log" patch -p1 -R -s -f -i "debian/patches/$p"
            else
                log "curl: $p does not reverse cleanly; assuming it is not applied"
            fi
        done
        grep -q '^lib_LTLIBRARIES = libcurl.la' lib/Makefile.am || die "curl: library is not named libcurl"
        run_logged "$log" autoreconf -fi
        run_logged "$log" ./configure --host="$HOST" --build="$BUILD_TRIPLE" \
            --prefix="$PREFIX" --libdir="$PREFIX/lib" \
            --enable-static --disable-shared \
            --disable-pthreads \
            --with-openssl="$PREFIX" --with-zlib="$PREFIX" \
            --without-libidn2 --without-brotli --without-zstd --without-nghttp2 \
            --without-libpsl --without-librtmp --without-libssh2 --without-libssh \
            --without-gsasl --without-hyper --without-ngtcp2 --without-nghttp3 \
            --without-quiche --without-msh3 --without-gssapi \
            --without-ca-bundle --without-ca-path \
            --enable-sspi \
            --disable-ftp --disable-ldap --disable-ldaps --disable-rtsp \
            --disable-dict --disable-telnet --disable-tftp --disable-pop3 \
            --disable-imap --disable-smb --disable-smtp --disable-gopher \
            --disable-mqtt --disable-file --disable-manual \
            LIBS='-lsecur32 -lcrypt32 -lbcrypt -lws2_32'
        # configure only warns when it cannot use SSPI; single sign-on at the proxy needs it.
        grep -q '^#define USE_WINDOWS_SSPI 1' lib/curl_config.h || die "curl: configure did not enable SSPI"
        run_logged "$log" make -C lib -j"$JOBS"
        run_logged "$log" make -C lib install
        run_logged "$log" make -C include install
        run_logged "$log" make install-pkgconfigDATA install-binSCRIPTS
    )
    # Users of a static libcurl on Windows must compile with CURL_STATICLIB
    # (otherwise the headers declare the functions dllimport).
    local pc=$PREFIX/lib/pkgconfig/libcurl.pc
    if ! grep -q '^Cflags:.*-DCURL_STATICLIB' "$pc"; then
        sed -i 's/^Cflags:.*/& -DCURL_STATICLIB/' "$pc"
    fi
}

# Links a small program against every library the way the project does
# (pkg-config --static, fully static C++ runtime) and checks that the .exe
# imports nothing but Windows system DLLs.
smoke_test() {
    local dir=$BUILD_DIR/smoke log=$BUILD_DIR/smoke.log dlls bad
    mkdir -p "$dir"
    cat >"$dir/smoke.cpp" <<'CPP'
#include <cstdio>
#include <cstdlib>
#include <curl/curl.h>
#include <jansson.h>
#include <popt.h>
#include <zlib.h>
#include <openssl/crypto.h>

int main(int argc, char **argv) {
    json_t *obj = json_pack("{s:s, s:i}", "name", "smoke", "answer", 42);
    char *text = json_dumps(obj, JSON_COMPACT | JSON_SORT_KEYS);
    int verbose = 0;
    struct poptOption opts[] = {
        {"verbose", 'v', POPT_ARG_NONE, &verbose, 0, "talk more", nullptr},
        POPT_AUTOHELP POPT_TABLEEND
    };
    poptContext pc = poptGetContext("smoke", argc, const_cast<const char **>(argv), opts, 0);
    while (poptGetNextOpt(pc) >= 0) {}
    std::printf("curl: %s\n", curl_version());
    std::printf("jansson: %s\n", text ? text : "(null)");
    std::printf("zlib: %s\n", zlibVersion());
    std::printf("openssl: %s\n", OpenSSL_version(OPENSSL_VERSION));
    std::printf("popt: ok (verbose=%d)\n", verbose);
    poptFreeContext(pc);
    std::free(text);
    json_decref(obj);
    // Single sign-on at a proxy needs libcurl's SSPI with both of its schemes.
    const curl_version_info_data *info = curl_version_info(CURLVERSION_NOW);
    const struct { int bit; const char *name; } wanted[] = {
        {CURL_VERSION_SSPI, "SSPI"}, {CURL_VERSION_NTLM, "NTLM"}, {CURL_VERSION_SPNEGO, "SPNEGO"}};
    int missing = 0;
    for (const auto &feature : wanted) {
        const bool present = (info->features & feature.bit) != 0;
        std::printf("curl feature %s: %s\n", feature.name, present ? "yes" : "MISSING");
        missing += present ? 0 : 1;
    }
    return missing == 0 ? 0 : 3;
}
CPP
    local mods="libcurl jansson popt zlib"
    # shellcheck disable=SC2046
    run_logged "$log" "$CXX" -O2 -o "$dir/smoke.exe" "$dir/smoke.cpp" \
        $(pkg-config --static --cflags $mods) \
        -static -static-libgcc -static-libstdc++ \
        $(pkg-config --static --libs $mods)
    dlls=$("$HOST-objdump" -p "$dir/smoke.exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -uf)
    bad=$(printf '%s\n' "$dlls" | grep -viE '^(kernel32|advapi32|ws2_32|crypt32|user32|gdi32|bcrypt|msvcrt|ntdll|shell32|ole32|iphlpapi|secur32|normaliz|wldap32|userenv|api-ms-win-.*)\.dll$' || true)
    [ -z "$bad" ] || die "smoke test links non-system DLLs: $(echo $bad)"
    log "smoke test imports only system DLLs: $(echo $dlls)"
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
        timeout 300 wine "$dir/smoke.exe" --verbose >"$dir/smoke-run.log" 2>"$dir/smoke-run.err" || status=$?
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
        cat "$SCRIPT_PATH"
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
# Order matters: libcurl links against zlib and OpenSSL from the prefix.
for pkg in zlib openssl jansson popt curl; do
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
