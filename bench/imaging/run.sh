#!/usr/bin/env bash
# Imaging at the speed of its codecs: Quillet, Glimpra and the binding
# control against small programs that call the codec libraries (and SQLite)
# directly, on A4 sheets at 300 dpi made for the run. Prints one table of
# times and ratios.
#   bench/imaging/run.sh [BUILD_DIR [RUNS]]
#
# BUILD_DIR (default build-release) holds a Release build; `./kit bench`
# makes one. Quillet's start-up and commit are timed by the program's own
# step marks (ORN_STEP_TIMES), median of RUNS runs (default 7) with the
# fewest and most seconds beside it: the start from the spawn to the window,
# the commit from OK's first save to its last result, on every processor and
# with one worker (ORN_WORKERS=1). Each other Quillet
# and Glimpra figure is the median over RUNS pairs of a run of
# the whole program less a run of it doing everything but the step
# measured, the two run in turn: a drop is a run with
# ten drops less one with none, divided by ten; paging is a run with 19
# PageDown keys less one with none. The floor programs time their own work
# (median of three runs). The binding benchmark times the control, then
# SQLite, each in a process of its own; its row is the run, of RUNS, with
# the median ratio.
# Files and the database live in a folder on tmpfs where there is one, so a
# database sync costs what the page cache costs, not what the disk does.
set -euo pipefail
build=$(cd "${1:-$(dirname "$0")/../../build-release}" && pwd)
runs=${2:-7}
bin=$build/bin tools=$build/bench
for p in "$bin/Quillet" "$bin/Glimpra" "$tools/bench_sheets" "$tools/bench_floor" "$tools/bench_run_timed" \
  "$tools/bench_bind"; do
  [[ -x $p ]] || { echo "bench/imaging: $p is not built" >&2; exit 2; }
done
base=/dev/shm
[[ -d $base && -w $base ]] || base=${TMPDIR:-/tmp}
work=$(mktemp -d "$base/orn-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
sheets=$work/sheets out=$work/out prog=$work/prog
mkdir -p "$sheets" "$out" "$prog" "$work/tmp" "$work/c" "$work/floor"

echo "== Imaging: Quillet, Glimpra and the binding control against the codec libraries and SQLite alone"
echo "making the sheets ..." >&2
"$tools/bench_sheets" "$sheets"

export ORN_SCANNER=none ORN_UI_TIMEOUT=0 ORN_UI_TRANSCRIPT=/dev/null
export ORN_TEMP_PATH=$work/tmp/ ORN_DRIVE_C=$work/c ORN_EVENTLOG=$work/events.txt
export ORN_PROGRAM_DIR=$prog ORN_REGISTRY_DIR=$work/registry
scan=() clean=()
for i in 01 02 03 04 05 06 07 08 09 10; do scan+=("$sheets/scan-$i.bmp"); clean+=("$sheets/clean-$i.bmp"); done

# Quillet's profile: two document types of five sheets each, both saved
# with FORMAT and OPTIONS; no checks, so a dropped sheet is accepted.
profile() {
  {
    printf '[General]\r\nDebugLevel=1\r\nLogFile={APP.PATH}/Quillet.log\r\nForceSequence=no\r\n'
    printf '[Text]\r\nMessage_20=Saved {SIZE}\r\n'
    for t in 1 2; do
      printf '[BENCH_%s]\r\nPages=5\r\nType=SHEET%s\r\nFormat=%s\r\nOptions=%s\r\n' "$t" "$t" "$1" "$2"
      printf 'OleDrop=BMP/TIF/\r\nBitmapDPI=300\r\nCheck=00000000000\r\n'
    done
  } >"$prog/Quillet.ini"
}
# An operator script dropping FILES on the sheets in turn, then STEP.
script() {
  local name=$1 step=$2 k=0
  shift 2
  : >"$work/$name"
  for f in "$@"; do echo "drop Page($k) $f" >>"$work/$name"; k=$((k + 1)); done
  [[ -n $step ]] && echo "$step" >>"$work/$name"
  echo "$work/$name"
}
# Median seconds and peak KiB of Quillet with script $1, less Quillet with
# script $2.
quillet() {
  "$tools/bench_run_timed" "$runs" env ORN_UI_SCRIPT="$1" "$bin/Quillet" BENCH 1 "$out" \
    --less env ORN_UI_SCRIPT="$2" "$bin/Quillet" BENCH 1 "$out"
}
glimpra() {
  "$tools/bench_run_timed" "$runs" env ORN_UI_SCRIPT="$1" "$bin/Glimpra" "$sheets/pages-g4.tif" \
    --less env ORN_UI_SCRIPT="$2" "$bin/Glimpra" "$sheets/pages-g4.tif"
}
# Median of three runs of a floor case: "<seconds> [<bytes>]".
floor() {
  local r
  for r in 1 2 3; do "$tools/bench_floor" "$@"; done | sort -n | sed -n 2p
}
sub() { awk -v a="$1" -v b="$2" -v d="${3:-1}" 'BEGIN { printf "%.4f", (a - b) / d }'; }

rows=()
row() { rows+=("$(printf '| %s | %s | %s | %s | %s |' "$@")"); }
. "$(dirname "$0")/../table.sh"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# Quillet's start to its window, where the script's first step comes next,
# timed by the program's own marks: with the system's stock scanner
# configuration (SANE_CONFIG_DIR unset, run from a folder without a
# dll.conf) against one that names no backend.
echo "Quillet: start-up ..." >&2
profile TIF ENC-LZW
none=$(script none.txt "")
mkdir -p "$work/sane-none" && : >"$work/sane-none/dll.conf"
started() {
  (cd "$work" && "$tools/bench_run_timed" "$runs" --step spawn forms.shown env -u ORN_SCANNER "$@" \
    ORN_UI_SCRIPT="$none" "$bin/Quillet" BENCH 1 "$out")
}
read -r start _ _ startLow startHigh < <(started -u SANE_CONFIG_DIR)
read -r startBare _ < <(started SANE_CONFIG_DIR="$work/sane-none")
row "Quillet start to its window, stock SANE configuration" "$(secs "$start") ($(secs "$startLow")–$(secs "$startHigh"))" \
  "$(secs "$startBare") no backend" "$(ratio "$start" "$startBare")" "≤ 0.2 s"

echo "Quillet: drops ..." >&2
drops=$(script drops.txt "" "${scan[@]}")
cleanDrops=$(script drops-clean.txt "" "${clean[@]}")
tiffs=()
for i in 1 2 3 4 5 6 7 8 9 10; do tiffs+=("$sheets/scan.tif"); done
read -r drop peak _ < <(quillet "$drops" "$none")
drop=$(sub "$drop" 0 10)
dropFloor=$(sub "$(floor read-bmp - "${scan[@]}")" 0 10)
row "BMP drop, one sheet (import)" "$(secs "$drop")" "$(secs "$dropFloor") read and decode" "$(ratio "$drop" "$dropFloor")" "≤ 1.5"
tiffDrop=$(sub "$(quillet "$(script drops-tiff.txt "" "${tiffs[@]}")" "$none" | cut -d' ' -f1)" 0 10)
tiffFloor=$(sub "$(floor read-tiff - "${tiffs[@]}")" 0 10)
row "TIFF drop, one sheet (uncompressed)" "$(secs "$tiffDrop")" "$(secs "$tiffFloor") libtiff decode" "$(ratio "$tiffDrop" "$tiffFloor")" "≤ 1.5"
pixels=$((10 * 2480 * 3508 * 3))
row "peak memory, 10 sheets held" "$((peak / 1024)) MiB" "$((pixels / 1048576)) MiB of pixels" \
  "$(awk -v p="$peak" -v r="$pixels" 'BEGIN { printf "%.2f", p * 1024 / r }')" "≤ 1.3"

# commit CASE FORMAT OPTIONS FLOORCASE SHEETSET FLOORNAME [GOAL [ONEGOAL]]:
# Quillet's commit against the floor, the commit itself timed by its step
# marks (commit.begin to commit.end) with the fewest and most seconds of the
# runs beside the median: on every processor (GOAL), and with one worker
# (ONEGOAL, the commit one sheet after the other).
spread() { echo "$(secs "$1") ($(secs "$2")–$(secs "$3"))"; }
commit() {
  local label=$1 format=$2 options=$3 case=$4 set=$5
  local files=("${scan[@]}")
  [[ $set == clean ]] && files=("${clean[@]}")
  echo "commit: $label ..." >&2
  rm -f "$out"/*
  profile "$format" "$options"
  local f fb q qLow qHigh one oneLow oneHigh commitScript
  commitScript=$(script commit.txt "click DoOK" "${files[@]}")
  read -r q commitPeak _ qLow qHigh < <("$tools/bench_run_timed" "$runs" --step commit.begin commit.end \
    env ORN_UI_SCRIPT="$commitScript" "$bin/Quillet" BENCH 1 "$out")
  qBytes=$(cat "$out"/* | wc -c)
  read -r one onePeak _ oneLow oneHigh < <("$tools/bench_run_timed" "$runs" --step commit.begin commit.end \
    env ORN_WORKERS=1 ORN_UI_SCRIPT="$commitScript" "$bin/Quillet" BENCH 1 "$out")
  read -r f fb < <(floor "$case" "$work/floor" "${files[@]}")
  rm -f "$work/floor"/*
  row "commit, $label, $(nproc) workers" "$(spread "$q" "$qLow" "$qHigh")" "$(secs "$f") $6" "$(ratio "$q" "$f")" "${7:-≤ 1.3}"
  row "commit, $label, one worker" "$(spread "$one" "$oneLow" "$oneHigh")" "$(secs "$f") $6" "$(ratio "$one" "$f")" "${8:-≤ 1.3}"
  commitSeconds=$q floorBytes=$fb
}
commit "TIFF LZW 24-bit" TIF ENC-LZW tiff-lzw scan "libtiff" "≤ 0.35"
# The commit's memory against its bound: the peak with the ten sheets held
# (the row above, 1.06 x their pixels) plus one encoder's buffers for each
# worker, one encoder's buffers being what the one-worker commit's peak
# adds to the sheets held (none when it adds nothing).
encoder=$((onePeak > peak ? onePeak - peak : 0))
bound=$((peak + $(nproc) * encoder))
row "peak memory, commit of 10 sheets, $(nproc) workers (one worker)" "$((commitPeak / 1024)) MiB ($((onePeak / 1024)) MiB)" \
  "$((bound / 1024)) MiB: $((peak / 1024)) MiB held + $(nproc) x $encoder KiB" "$(ratio "$commitPeak" "$bound")" \
  "≤ 1 (held + one encoder's buffers a worker)"
commit "TIFF G4 1-bit from colour" TIF ENC-G4 tiff-g4 scan "libtiff"
commit "JPEG q75" JPG QUAL-4B jpeg scan "libjpeg" "≤ 0.35"
commit "GRAY-8, TIFF LZW" TIF "ENC-LZW GRAY-8" gray8 scan "grey + libtiff"
commit "COL-8, TIFF LZW" TIF "ENC-LZW COL-8" col8 scan "nearest colour + libtiff"
commit "COL-1 B&W, TIFF G4" TIF "ENC-G4 COL-1 B&W" bw scan "black/white + libtiff"
for set in scan clean; do
  name=scan-like
  [[ $set == clean ]] && name=clean
  commit "PNG, $name sheets" PNG "" png $set "libpng, same settings" "≤ 0.35"
  pngSeconds=$commitSeconds pngBytes=$qBytes
  read -r dflt dfltBytes < <(
    if [[ $set == scan ]]; then "$tools/bench_floor" png-default "$work/floor" "${scan[@]}"; else floor png-default "$work/floor" "${clean[@]}"; fi
  )
  rm -f "$work/floor"/*
  row "PNG save time, $name, against libpng's defaults" "$(secs "$pngSeconds")" "$(secs "$dflt") libpng defaults" \
    "$(ratio "$pngSeconds" "$dflt")" "≤ 0.33"
  row "PNG file size, $name, against libpng's defaults" "$((pngBytes / 1024)) KiB" "$((dfltBytes / 1024)) KiB" \
    "$(ratio "$pngBytes" "$dfltBytes")" "≤ 1.15"
done

echo "Glimpra: paging ..." >&2
: >"$work/keys.txt"
for i in $(seq 19); do echo "key PageDown" >>"$work/keys.txt"; done
pages=$(glimpra "$work/keys.txt" "$none" | cut -d' ' -f1)
pagesFloor=$(floor pages - "$sheets/pages-g4.tif")
row "Glimpra, 19 G4 pages paged through" "$(secs "$pages")" "$(secs "$pagesFloor") libtiff decode" "$(ratio "$pages" "$pagesFloor")" "≤ 2"

echo "binding control ..." >&2
mkdir -p "$work/bind"
# The run with the median ratio: each run times the control, then SQLite on
# the records the control wrote, each side in a process of its own.
read -r _ control raw recordBytes < <(
  for r in $(seq "$runs"); do
    rm -rf "$work/bind"/*
    read -r c bytes < <("$tools/bench_bind" "$work/bind" 200 control)
    s=$("$tools/bench_bind" "$work/bind" 200 sqlite)
    awk -v c="$c" -v s="$s" -v b="$bytes" 'BEGIN { printf "%.6f %s %s %s\n", c / s, c, s, b }'
  done | sort -n | sed -n "$(((runs + 1) / 2))p"
)
row "binding control, $((recordBytes / 1024)) KiB bitmap save+load x 200 rows" "$(secs "$control")" "$(secs "$raw") SQLite" \
  "$(ratio "$control" "$raw")" "≤ 1.5"

print_table "medians of $runs runs"
