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

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
