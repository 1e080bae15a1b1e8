# CMake toolchain for cross-building Quorvane for 64-bit Windows with Debian's MinGW-w64 (posix threads), statically linked against the libraries from windows/build-deps.sh.
#
# Usage:
#     PREFIX=$(bash windows/build-deps.sh | tail -1)
#     cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#           -DWINDEPS_PREFIX="$PREFIX"
# (or export WINDEPS_PREFIX instead of passing it on the command line).

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(WINDEPS_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${WINDEPS_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${WINDEPS_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${WINDEPS_TRIPLE}-windres)
set(CMAKE_AR           ${WINDEPS_TRIPLE}-ar CACHE FILEPATH "archiver")
set(CMAKE_RANLIB       ${WINDEPS_TRIPLE}-ranlib CACHE FILEPATH "ranlib")

# Deps prefix: -DWINDEPS_PREFIX=... wins over the environment variable.
if(NOT WINDEPS_PREFIX AND DEFINED ENV{WINDEPS_PREFIX})
  set(WINDEPS_PREFIX "$ENV{WINDEPS_PREFIX}")
endif()
set(WINDEPS_PREFIX "${WINDEPS_PREFIX}" CACHE PATH
    "Prefix with the static Windows libraries built by windows/build-deps.sh")
# try_compile() projects run this file again; hand the prefix on to them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES WINDEPS_PREFIX)
if(WINDEPS_PREFIX)
  set(ENV{WINDEPS_PREFIX} "${WINDEPS_PREFIX}")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${WINDEPS_TRIPLE})
if(WINDEPS_PREFIX)
  list(PREPEND CMAKE_FIND_ROOT_PATH "${WINDEPS_PREFIX}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything, including libgcc, libstdc++ and winpthread, is linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# pkg-config: look only at the deps prefix, never at the build machine's .pc
# files. --static makes the imported targets carry each library's private
# dependencies (libcrypto's -lws2_32 -lgdi32 -lcrypt32...) in link order; the
# static libcurl.pc of windows/build-deps.sh also brings -DCURL_STATICLIB.
set(PKG_CONFIG_EXECUTABLE pkg-config CACHE FILEPATH "pkg-config")
set(PKG_CONFIG_ARGN --static CACHE STRING "Extra pkg-config arguments")
set(PKG_CONFIG_USE_CMAKE_PREFIX_PATH OFF)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
if(WINDEPS_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} "${WINDEPS_PREFIX}/lib/pkgconfig")
else()
  # No prefix given: find nothing rather than the host's Linux libraries.
  set(ENV{PKG_CONFIG_LIBDIR} "/nonexistent-windeps-prefix")
endif()
