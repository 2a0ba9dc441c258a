#!/usr/bin/env bash
# The viewers' waits, timed by the programs themselves: Glimpra's page turn
# and Lumoret's first paint, in real windows on an X server of the run's own
# (Xvfb). Prints one table of medians with the spread of the runs.
#   bench/viewers/run.sh [BUILD_DIR [RUNS]]
#
# BUILD_DIR (default build-release) holds a Release build; `./kit bench`
# makes one. With ORN_STEP_TIMES the programs write a monotonic timestamp at
# each step mark: Glimpra when a page key arrives (glimpra.page.key) and
# after each paint of its view (pixo.painted), Lumoret around its load
# (lumoret.load.begin, .end) and after each paint of the document
# (richedit.painted). Each figure is the step itself, from those marks, in
# RUNS runs (default 9), each run paired with a run of the floor:
#   - paging: the first of 19 PageDown keys, pressed one after the other,
#     to the last page in the view (loaded, the window laid out:
#     glimpra.page.shown), and to the first paint after that, against
#     libtiff decoding the same 19 G4 pages;
#   - a page turn after a pause: a 6000 x 4000 JPEG-compressed page, the key
#     pressed 1.5 s after the page before was shown, to the first paint
#     after it, against libtiff and libjpeg decoding that page;
#   - Lumoret: the end of the load to the first paint of a 2,300-page
#     document, against the load itself.
# The ratio is the median of the pairs' ratios; the spread beside it is the
# interquartile range of those ratios, in per cent of the median.
set -euo pipefail
build=$(cd "${1:-$(dirname "$0")/../../build-release}" && pwd)
runs=${2:-9}
bin=$build/bin tools=$build/bench
for p in "$bin/Glimpra" "$bin/Lumoret" "$tools/bench_sheets" "$tools/bench_floor" "$tools/bench_photo_pages"; do
  [[ -x $p ]] || { echo "bench/viewers: $p is not built" >&2; exit 2; }
done
command -v Xvfb >/dev/null || { echo "bench/viewers: Xvfb is not installed" >&2; exit 2; }
base=/dev/shm
[[ -d $base && -w $base ]] || base=${TMPDIR:-/tmp}
work=$(mktemp -d "$base/orn-bench-viewers-XXXXXX")
xpid=
cleanup() {
  [[ -n $xpid ]] && kill "$xpid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# An X server of our own on the first free display from :90.
for n in $(seq 90 140); do
  [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xpid=$!
  for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$n ]] && break; sleep 0.1; done
  [[ -e /tmp/.X11-unix/X$n ]] && { export DISPLAY=:$n; break; }
  kill "$xpid" 2>/dev/null || true
  xpid=
done
[[ -n $xpid ]] || { echo "bench/viewers: no X server could be started" >&2; exit 2; }

echo "== Viewers: Glimpra's page turn and Lumoret's first paint, timed by the programs' own step marks"
echo "making the pages and the document ..." >&2
mkdir -p "$work/sheets" "$work/tmp" "$work/c" "$work/prog" "$work/registry"
"$tools/bench_sheets" "$work/sheets" >/dev/null
"$tools/bench_photo_pages" make "$work/photo.tif"
awk 'BEGIN {
  printf "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 "
  for (i = 1; i <= 2300 * 69; i++) {
    if (i % 23 == 0) printf "{\\b Absatz %d:} ", i
    printf "Zeile %d: Sehr geehrte Damen und Herren, dies ist eine Zeile.\\par\n", i
  }
  print "Ende des Dokuments.}"
}' >"$work/long.rtf"

export ORN_DISPLAY=screen ORN_UI_TIMEOUT=120 ORN_UI_TRANSCRIPT=/dev/null
export ORN_TEMP_PATH=$work/tmp/ ORN_DRIVE_C=$work/c ORN_EVENTLOG=$work/events.txt
export ORN_PROGRAM_DIR=$work/prog ORN_REGISTRY_DIR=$work/registry
steps=$work/steps.txt

# Runs a program with ORN_STEP_TIMES on $steps (emptied first).
marked() {
  : >"$steps"
  ORN_STEP_TIMES=$steps "$@" >/dev/null 2>&1 || true
}
# Seconds from each mark $1 to the first mark $2 after it, one a line; with
# $3 = span, from the first $1 to the first $2 after the last $1.
between() {
  awk -v from="$1" -v to="$2" -v span="${3:-}" '
    $1 == from { if (span == "" || first == "") first = $2; last = $2; open = 1; next }
    $1 == to && open { if (span == "") printf "%.6f\n", ($2 - first) / 1e9; else end = $2; open = 0 }
    END { if (span != "" && end != "") printf "%.6f\n", (end - first) / 1e9 }' "$steps"
}
# "median spread%" of the numbers on standard input.
summary() {
  sort -g | awk '{ v[NR] = $1 } END {
    if (NR == 0) { print "nan nan"; exit }
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    q1 = v[int((NR + 3) / 4)]; q3 = v[int((3 * NR + 1) / 4)]
    printf "%.6f %.0f\n", m, (m > 0 ? (q3 - q1) / m * 100 : 0) }'
}
. "$(dirname "$0")/../table.sh"

rows=()
row() { rows+=("$(printf '| %s | %s | %s | %s (spread %s %%) | %s |' "$@")"); }

echo "Glimpra: paging 19 G4 pages ..." >&2
: >"$work/keys.txt"
for _ in $(seq 19); do echo "key PageDown" >>"$work/keys.txt"; done
echo "wait 300" >>"$work/keys.txt"
pairs=() progs=() floors=() paintPairs=() paints=()
for r in $(seq 0 "$runs"); do
  marked env ORN_UI_SCRIPT="$work/keys.txt" "$bin/Glimpra" "$work/sheets/pages-g4.tif"
  p=$(between glimpra.page.key glimpra.page.shown span)
  q=$(between glimpra.page.key pixo.painted span)
  f=$("$tools/bench_floor" pages - "$work/sheets/pages-g4.tif")
  ((r == 0)) && continue  # the first pair fills the file cache
  [[ -n $p && -n $q ]] || { echo "bench/viewers: Glimpra left no marks" >&2; exit 1; }
  progs+=("$p") paints+=("$q") floors+=("$f")
  pairs+=("$(awk -v a="$p" -v b="$f" 'BEGIN { print a / b }')")
  paintPairs+=("$(awk -v a="$q" -v b="$f" 'BEGIN { print a / b }')")
done
floor=$(secs "$(printf '%s\n' "${floors[@]}" | summary | cut -d' ' -f1)")
read -r ratio spread < <(printf '%s\n' "${pairs[@]}" | summary)
row "Glimpra, 19 G4 pages paged through (first key to the last page in the view)" \
  "$(secs "$(printf '%s\n' "${progs[@]}" | summary | cut -d' ' -f1)")" "$floor libtiff decode" \
  "$(printf '%.2f' "$ratio")" "$spread" "≤ 1.3"
# The screen paints at its frames (60 a second): the last page reaches it
# up to 16.7 ms after it is in the view.
read -r ratio spread < <(printf '%s\n' "${paintPairs[@]}" | summary)
row "the same, to the last page painted (at the screen's next frame)" \
  "$(secs "$(printf '%s\n' "${paints[@]}" | summary | cut -d' ' -f1)")" "$floor libtiff decode" \
  "$(printf '%.2f' "$ratio")" "$spread" "—"

echo "Glimpra: page turns after a pause ..." >&2
printf 'wait 1500\nkey PageDown\nwait 1500\nkey PageDown\nwait 500\n' >"$work/turns.txt"
pairs=() progs=() floors=()
for r in $(seq 0 "$runs"); do
  marked env ORN_UI_SCRIPT="$work/turns.txt" "$bin/Glimpra" "$work/photo.tif"
  mapfile -t turns < <(between glimpra.page.key pixo.painted)
  ((r == 0)) && continue
  ((${#turns[@]} == 2)) || { echo "bench/viewers: Glimpra left ${#turns[@]} page turns" >&2; exit 1; }
  for k in 0 1; do
    f=$("$tools/bench_photo_pages" decode "$work/photo.tif" $((k + 2)))
    progs+=("${turns[$k]}") floors+=("$f") pairs+=("$(awk -v a="${turns[$k]}" -v b="$f" 'BEGIN { print a / b }')")
  done
done
read -r ratio spread < <(printf '%s\n' "${pairs[@]}" | summary)
row "Glimpra, page turn to a 6000×4000 JPEG page after a pause (key to page painted)" \
  "$(secs "$(printf '%s\n' "${progs[@]}" | summary | cut -d' ' -f1)")" \
  "$(secs "$(printf '%s\n' "${floors[@]}" | summary | cut -d' ' -f1)") libtiff + libjpeg decode" \
  "$(printf '%.2f' "$ratio")" "$spread" "≤ 0.3"

echo "Lumoret: first paint of 2,300 pages ..." >&2
printf 'state\nclose\n' >"$work/lumoret.txt"
pairs=() progs=() floors=()
for r in $(seq 0 "$runs"); do
  marked env ORN_UI_SCRIPT="$work/lumoret.txt" "$bin/Lumoret" -f "$work/long.rtf" -n
  p=$(between lumoret.load.end richedit.painted | head -1)
  f=$(between lumoret.load.begin lumoret.load.end | head -1)
  ((r == 0)) && continue
  [[ -n $p && -n $f ]] || { echo "bench/viewers: Lumoret left no marks" >&2; exit 1; }
  progs+=("$p") floors+=("$f") pairs+=("$(awk -v a="$p" -v b="$f" 'BEGIN { print a / b }')")
done
read -r ratio spread < <(printf '%s\n' "${pairs[@]}" | summary)
first=$(printf '%s\n' "${progs[@]}" | summary | cut -d' ' -f1)
row "Lumoret, first paint of a 2,300-page RTF document (end of the load to the first paint)" \
  "$(secs "$first")" "$(secs "$(printf '%s\n' "${floors[@]}" | summary | cut -d' ' -f1)") the load" \
  "$(printf '%.2f' "$ratio")" "$spread" "≤ 0.3 s after the load"

print_table "medians of $runs runs, spread the interquartile range"
