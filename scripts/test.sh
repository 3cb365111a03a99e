#!/usr/bin/env bash
# Builds Tessaro and runs every test. This is the project's test command.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
ctest --test-dir build --output-on-failure -j "$(nproc)"
