#!/usr/bin/env bash
# Installs the Debian packages that the Linux build, the tests and the demo need (idempotent).
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libjansson-dev libcurl4-openssl-dev libpopt-dev zlib1g-dev libssl-dev
  libgtest-dev googletest
  clang libclang-rt-14-dev clang-tidy-14 cppcheck
  nginx-light openssl python3 curl time
)

bash "$(dirname "$0")/apt-install.sh" "${packages[@]}"
