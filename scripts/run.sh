#!/usr/bin/env bash
# Installs what is missing, builds Tessaro (with the demo template library,
# demo photos and demo set) and runs it:
# - with a display ($DISPLAY or $WAYLAND_DISPLAY), the desktop program
#   `tessaro` starts; at its first start it opens the demo set;
# - without one, `tessaro-cli compose` turns the demo set into print pages
#   and this script prints where they went.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
demo=build/resources/demo/demo.cys
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/app/tessaro "$@"
fi
out=build/demo-pages
rm -rf "$out"
status=0
build/tools/tessaro-cli compose "$demo" --out "$out" || status=$?
echo "Demo set: $demo"
echo "Pages ($(find "$out" -type f | wc -l)) went to: $out/"
find "$out" -type f | sort | sed 's/^/  /'
exit "$status"
