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
# Node and npm for ag-psd, the second reader of the layered documents the
# tests write (a Node from elsewhere that brings its own npm is kept).
command -v npm >/dev/null 2>&1 || PACKAGES+=(nodejs npm)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# ag-psd for the tests, in the cache folder they look in (testing/Reference.h);
# outside the source tree, installed once.
TOOLS="${TESSARO_TEST_TOOLS:-/tmp/tessaro-test-tools}"
if [ ! -f "$TOOLS/node_modules/ag-psd/package.json" ]; then
  mkdir -p "$TOOLS"
  echo "Installing ag-psd into $TOOLS"
  # Offline this is only a warning here; under CI the tests that need ag-psd
  # then fail with their own message.
  npm install --prefix "$TOOLS" ag-psd@31 --no-audit --no-fund --silent >/dev/null ||
    echo "warning: ag-psd could not be installed into $TOOLS" >&2
fi
