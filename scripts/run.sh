#!/usr/bin/env bash
# Installs what is missing, builds Tessaro and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
echo "tessaro-cli is built: build/tools/tessaro-cli"
build/tools/tessaro-cli --help
