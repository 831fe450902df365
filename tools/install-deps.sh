#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what building, running and testing Kelmo needs on Debian 12, skipping what is there.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-image-formats-plugins qt6-translations-l10n
          libjpeg62-turbo-dev libavif-dev libheif-dev libjxl-dev liblcms2-dev libseccomp-dev
          libdeflate-dev zlib1g-dev libwebp-dev libgif-dev
          libgtest-dev libbenchmark-dev fonts-dejavu-core
          libx11-dev libxcb1-dev xvfb xauth dpkg-dev file
          openbox xdotool xclip x11-utils imagemagick poppler-utils
          dbus-daemon dbus-bin at-spi2-core python3-pyatspi
          qt6-wayland weston
          libjpeg-turbo-progs webp libheif-examples libavif-bin libjxl-tools)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
