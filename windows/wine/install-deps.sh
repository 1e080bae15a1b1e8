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

bash "$(dirname "$0")/../../scripts/apt-install.sh" "${packages[@]}"
