#!/usr/bin/env bash
# Installs the Debian packages that the Wine harness needs (idempotent).
set -euo pipefail

packages=(
  wine wine64 fonts-wine
  # Wine only recommends these; without the X extensions and fonts dialogs draw poorly.
  libxrender1 libxcursor1 libxi6 libxrandr2 libxinerama1 libxcomposite1 libxfixes3 fonts-liberation
  xvfb xdotool x11-utils imagemagick
  mingw-w64
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
