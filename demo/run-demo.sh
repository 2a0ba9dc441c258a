#!/usr/bin/env bash
# Runs Quillet headless on the bundled demo profile with the operator script
# demo/operator.script: two sheets are scanned from the scanner stack's test
# device, one is imported from a small generated image, and OK saves them.
# Prints the log, the event-log records, the message boxes, the saved files
# with their sizes and formats, and the exit code (1: everything saved).
# With "window" Quillet opens its real window instead and the operator does
# the steps (the form to drop lies in the working folder it names).
#   demo/run-demo.sh DIR [window]   DIR: a build folder or an installation prefix
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=$(cd "${1:?usage: run-demo.sh BUILD_DIR|PREFIX [window]}" && pwd)
mode=${2:-script}
quillet="$dir/bin/Quillet"
[[ -x "$quillet" ]] || { echo "run-demo: $quillet is not built or installed" >&2; exit 2; }
# The program's own folder, where it reads its profile and writes its log:
# the folder of the program itself, also when bin/Quillet links to it.
progdir=$(dirname "$(readlink -f "$quillet")")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/out" "$work/c" "$work/sane"
# A build folder gets the profile of this folder, also when the build copied
# an older one, and a fresh log; an installation keeps its own.
if [[ -f "$dir/CMakeCache.txt" ]]; then
  cp "$here/Quillet.ini" "$here/demo-finish.png" "$progdir/"
  rm -f "$progdir/Quillet.log"
fi
# Only this run's lines of the log are shown.
log_before=$(stat -c %s "$progdir/Quillet.log" 2>/dev/null || echo 0)

# Little-endian fields and a 24-bit BMP: white paper with dark bars of
# "text" every 12 rows, the form to import.
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }
repeat() { local i; for ((i = 0; i < $2; i++)); do printf '%s' "$1"; done; }
bmp() {  # FILE WIDTH HEIGHT PAPER(hex byte) INK(hex byte or "")
  local f=$1 w=$2 h=$3 paper=$4 ink=$5 y
  local row=$(((w * 3 + 3) / 4 * 4))
  local plain text
  plain=$(repeat "\\x$paper" "$row")
  text=$(repeat "\\x$paper" 24)$(repeat "\\x${ink:-$paper}" $((row - 48)))$(repeat "\\x$paper" 24)
  {
    printf 'BM'; le32 $((54 + row * h)); le32 0; le32 54
    le32 40; le32 "$w"; le32 "$h"; le16 1; le16 24; le32 0; le32 $((row * h)); le32 3937; le32 3937; le32 0; le32 0
    for ((y = 0; y < h; y++)); do
      if ((y > 8 && y < h - 8 && y % 12 < 4)); then printf "$text"; else printf "$plain"; fi
    done
  } > "$f"
}
bmp "$work/antrag.bmp" 120 170 f0 30

# The scanner stack's test device, configured for this run only.
printf 'test\n' > "$work/sane/dll.conf"
printf '%s\n' 'number_of_devices 1' 'mode Color' 'depth 8' 'resolution 75' \
  'geometry_max 300.0' 'br_x 86.0' 'br_y 54.0' 'test-picture "Grid"' > "$work/sane/test.conf"
export SANE_CONFIG_DIR="$work/sane"

export ORN_UI_TRANSCRIPT="$work/transcript.txt"
export ORN_EVENTLOG="$work/eventlog.txt"
export ORN_DRIVE_C="$work/c"
if [[ $mode == window ]]; then
  unset ORN_UI_SCRIPT
  export ORN_DISPLAY=screen
  echo "== Quillet opens its window: click the sheet buttons to scan, drag"
  echo "   $work/antrag.bmp onto the third sheet, press OK."
else
  export ORN_UI_SCRIPT="$here/operator.script"
  export ORN_UI_TIMEOUT=${ORN_UI_TIMEOUT:-60}
  echo "== operator script ($ORN_UI_SCRIPT)"
  grep -v '^#' "$ORN_UI_SCRIPT"
fi
echo
echo "\$ Quillet DEMO 4711 $work/out"
set +e
(cd "$work" && "$quillet" DEMO 4711 "$work/out")
rc=$?
set -e
# The process exit code carries the low 8 bits of the result code.
(( signed = rc > 127 ? rc - 256 : rc ))

echo
echo "== log ($progdir/Quillet.log)"
[[ -f "$progdir/Quillet.log" ]] && tail -c +$((log_before + 1)) "$progdir/Quillet.log" | tr -d '\r'
if [[ -f "$work/c/Quillet.log" ]]; then
  echo "== start-up log (drive C)"
  tr -d '\r' < "$work/c/Quillet.log"
fi
echo "== event log"
[[ -f "$ORN_EVENTLOG" ]] && cut -f2,3,6 "$ORN_EVENTLOG"
echo "== transcript"
[[ -f "$ORN_UI_TRANSCRIPT" ]] && cat "$ORN_UI_TRANSCRIPT"
echo "== saved files ($work/out)"
for f in "$work/out"/*; do
  [[ -f "$f" ]] || { echo "(none)"; break; }
  magic=$(head -c 4 "$f" | od -An -tx1 | tr -d ' \n')
  case $magic in
    49492a00|4d4d002a) kind=TIFF ;;
    ffd8*) kind=JPEG ;;
    89504e47) kind=PNG ;;
    424d*) kind=BMP ;;
    *) kind="unknown ($magic)" ;;
  esac
  line="$(basename "$f"): $(stat -c %s "$f") bytes, $kind"
  if [[ $kind == TIFF ]] && command -v tiffinfo >/dev/null; then
    pages=$(tiffinfo "$f" 2>/dev/null | grep -c '^TIFF Directory')
    sizes=$(tiffinfo "$f" 2>/dev/null | sed -n 's/.*Image Width: \([0-9]*\) Image Length: \([0-9]*\).*/\1x\2/p' | paste -sd' ')
    line+=", $pages page(s): $sizes"
  fi
  echo "$line"
done
echo "== exit code $rc ($signed)"
