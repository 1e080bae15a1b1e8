# What windows/build-deps.sh builds and how: the target, the libraries, their build order and
# every configure flag and patch. The dependency cache key is a hash of this file (with the
# source versions and the cross compiler's version), so only a change here builds the libraries
# again; build-deps.sh sources it and provides log, die, run_logged, unpack_source, PREFIX,
# BUILD_DIR, JOBS and VERSION.
# shellcheck shell=bash

HOST=x86_64-w64-mingw32
PKGS=(jansson popt zlib openssl curl)
# Only administrators can write below "Program Files", so a static libcrypto
# that looks for openssl.cnf there cannot be fed a planted config file.
OPENSSLDIR_WIN='C:/Program Files/Common Files/SSL'
# libcurl links against zlib and OpenSSL from the prefix.
BUILD_ORDER=(zlib openssl jansson popt curl)

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
