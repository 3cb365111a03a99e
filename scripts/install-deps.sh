#!/usr/bin/env bash
# Installs the Debian packages Tessaro needs to build, test and run.
# Idempotent and quiet when everything is present.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libjpeg62-turbo-dev libpng-dev libtiff-dev libgif-dev liblcms2-dev zlib1g-dev
  nlohmann-json3-dev libcli11-dev
  clang clang-format libclang-rt-14-dev
  openssl imagemagick libjpeg-turbo-progs python3
  libgs-common  # the CMYK press profile (default_cmyk.icc) the JPEG tests apply
  librsvg2-bin fonts-dejavu-core fonts-urw-base35
  qt6-base-dev qt6-svg-dev qt6-multimedia-dev xvfb xauth fonts-wqy-microhei
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
