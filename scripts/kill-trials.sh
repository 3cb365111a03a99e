#!/usr/bin/env bash
# Crash trials of the two commands that replace files: `tessaro-cli pack` over
# an existing package and `tessaro-cli convert` over an existing file are
# killed with SIGKILL at random points. After each kill the target must hold a
# whole package (every file, and inspect reads it) or a whole file (the same
# bytes a finished run writes); after the next, finished run nothing may be
# left beside the target or in the temporary folder.
# Each kill comes at a random point of the time the last finished run took,
# so the trials follow the machine's load.
#
# usage: scripts/kill-trials.sh [BUILD_DIR] [TRIALS] [pack|convert|both]
#        (default: build 40 both)
# Prints one line per command with the figures; exits 1 on any failed trial.
set -u
build=${1:-build}
trials=${2:-40}
which=${3:-both}
root=$(cd "$(dirname "$0")/.." && pwd)
cli=$(cd "$build" && pwd)/tools/tessaro-cli
[ -x "$cli" ] || { echo "no $cli" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/tessaro-kill-trials-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tmp" "$work/out"
export TMPDIR="$work/tmp"

now() { date +%s%N; }
# A random delay in seconds from 0 to $1 nanoseconds.
delay() { awk -v ns="$1" -v r="$RANDOM$RANDOM" 'BEGIN { srand(r); printf "%.3f", rand() * ns / 1e9 }'; }

# Runs "$@" in the background and kills it after a random part of $1 ns;
# prints "killed" or "finished".
kill_at_random() {
  local span=$1; shift
  "$@" >/dev/null 2>&1 &
  local pid=$!
  sleep "$(delay "$span")"
  if kill -9 "$pid" 2>/dev/null; then wait "$pid" 2>/dev/null; echo killed; else wait "$pid"; echo finished; fi
}

leftovers() {  # entries beside the target other than itself, and in TMPDIR
  { find "$1" -mindepth 1 -maxdepth 1 ! -name "$2"; find "$TMPDIR" -mindepth 1 -maxdepth 1; } | wc -l
}

# Times one finished run of "$@", then kills it $trials times at random and
# checks each kill and the finished run after it. $1 names the command in the
# messages, $2 is the check that the target is whole after a kill, $3 what
# the message says when it is not, $4 and $5 the target's folder and name;
# the rest is the command line. Sets killed, broken, seen and left.
run_trials() {
  local name=$1 whole=$2 notWhole=$3 folder=$4 target=$5; shift 5
  local start span n i
  start=$(now)
  "$@" >/dev/null
  span=$(( ($(now) - start) * 12 / 10 ))
  killed=0 broken=0 seen=0 left=0
  for ((i = 0; i < trials; i++)); do
    [ "$(kill_at_random "$span" "$@")" = killed ] && killed=$((killed + 1))
    $whole || { broken=$((broken + 1)); echo "$name trial $i: $notWhole" >&2; }
    [ "$(leftovers "$folder" "$target")" -gt 0 ] && seen=$((seen + 1))
    start=$(now)
    "$@" >/dev/null || echo "$name trial $i: the next run failed" >&2
    span=$(( ($(now) - start) * 12 / 10 ))
    n=$(leftovers "$folder" "$target")
    [ "$n" -gt 0 ] && { left=$((left + 1)); echo "$name trial $i: $n leftovers after the next run" >&2; }
  done
}

fail=0
# ---- pack ------------------------------------------------------------------
if [ "$which" != convert ]; then
src="$root/resources/templates/src/婚纱01_花园/template.json"
pkg="$work/out/pkg"
files="brivanto_a.dll brivanto_b.dll brivanto_a.psd brivanto_b.psd brivanto_a.jpg brivanto_b.jpg Sample.jpg"
whole_package() {
  for f in $files; do [ -s "$pkg/$f" ] || return 1; done
  "$cli" inspect "$pkg" >/dev/null 2>&1
}
"$cli" pack "$src" "$pkg" >/dev/null || { echo "pack failed" >&2; exit 1; }
run_trials pack whole_package "no whole package" "$work/out" pkg "$cli" pack "$src" "$pkg"
echo "pack:    $trials trials, $killed killed before the end; no whole package: $broken;" \
  "leftovers after the kill: $seen; after the next run: $left"
fail=$((broken + left))
fi

# ---- convert ---------------------------------------------------------------
if [ "$which" != pack ]; then
in="$root/../shared/corpus/jpeg/icc_adobe_rgb_1998_2000x1072.jpg"
[ -f "$in" ] || in=/work/shared/corpus/jpeg/icc_adobe_rgb_1998_2000x1072.jpg
out="$work/conv/photo.psd"
mkdir -p "$work/conv"
"$cli" convert "$in" "$work/reference.psd" >/dev/null || { echo "convert failed" >&2; exit 1; }
cp "$work/reference.psd" "$out"
whole_file() { cmp -s "$out" "$work/reference.psd"; }
run_trials convert whole_file "not a whole file" "$work/conv" photo.psd "$cli" convert "$in" "$out"
echo "convert: $trials trials, $killed killed before the end; not a whole file: $broken;" \
  "leftovers after the kill: $seen; after the next run: $left"
fail=$((fail + broken + left))
fi
[ "$fail" -eq 0 ]
