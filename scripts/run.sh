#!/usr/bin/env bash
# Installs what is missing, builds Tessaro (with the demo template library,
# demo photos and demo set) and runs the main job on the bundled demo set.
#
# The desktop program and headless composition are not built yet; until they
# are, the main job loads the demo set the way the program does (templates
# deciphered from their packages, photos found on disk, slots filled) and
# prints what it holds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
demo=build/resources/demo/demo.cys
build/tools/tessaro-cli inspect "$demo" > build/demo-set.json
python3 - build/demo-set.json <<'PY'
import json, os, sys
s = json.load(open(sys.argv[1]))
print(f"Demo set {s['file']}")
for t in s["templates"]:
    name = os.path.basename(t["folder"].rstrip("/"))
    kind = "spread" if t["spread"] else "page"
    print(f"  {name:<16} {kind:<6} {t['sizeName'].strip():<18} {t['placedCount']}/{t['slotCount']} slots filled")
print(f"  {len(s['photos'])} photos; dropped templates: {len(s['droppedTemplates'])}, dropped photos: {len(s['droppedPhotos'])}")
PY
echo "Full listing: build/demo-set.json; template packages: build/resources/templates/"
