#!/usr/bin/env bash
# Installs what is missing, builds Tessaro (with the demo template library,
# demo photos and demo set) and runs the main job on the bundled demo set:
# without a display, `tessaro-cli compose` turns the demo set into print
# pages and this script prints where they went.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
demo=build/resources/demo/demo.cys
out=build/demo-pages
rm -rf "$out"
status=0
build/tools/tessaro-cli compose "$demo" --out "$out" || status=$?
echo "Demo set: $demo"
echo "Pages ($(find "$out" -type f | wc -l)) went to: $out/"
find "$out" -type f | sort | sed 's/^/  /'
exit "$status"
