#!/usr/bin/env bash
# Installs the Debian packages that the Linux build, the tests and the demo need (idempotent).
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libjansson-dev libcurl4-openssl-dev libpopt-dev zlib1g-dev libssl-dev
  libgtest-dev googletest
  clang libclang-rt-14-dev clang-tidy-14 cppcheck
  nginx-light squid openssl python3 curl time minisign
)

squid_was_installed=$(dpkg-query -W -f='${Status}' squid 2>/dev/null | grep -c 'install ok installed' || true)

bash "$(dirname "$0")/apt-install.sh" "${packages[@]}"

# The proxy tests run squid with their own configuration on free ports; the package's own
# service, started by a fresh install where services may start, is not needed.
if [ "$squid_was_installed" = 0 ]; then
  systemctl disable --now squid >/dev/null 2>&1 || service squid stop >/dev/null 2>&1 || true
fi
