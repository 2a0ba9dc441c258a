#!/usr/bin/env bash
# Runs Quillet headless on the bundled demo profile with the operator script
# demo/operator.script: two sheets are scanned from the scanner stack's test
# device (demo/sane), one is imported from a small generated image, and OK
# saves them. Prints the log, the event-log records, the message boxes, the
# saved files with their pages, and the exit code. With "window" Quillet
# opens its real window instead and the operator does the steps (the form to
# drop lies in the working folder it names).
# The run's files stay in BUILD_DIR/demo-run (replaced by the next run); run
# from an installation, they go to a temporary folder removed at the end.
# Exit status 0 only when Quillet ended with 1 and saved both files: the ID
# card as a two-page TIFF and the form as a JPEG; otherwise 1.
#   demo/run-demo.sh DIR [window]   DIR: a build folder or an installation prefix
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=$(cd "${1:?usage: run-demo.sh BUILD_DIR|PREFIX [window]}" && pwd)
mode=${2:-script}
quillet="$dir/bin/Quillet"
[[ -x "$quillet" ]] || { echo "run-demo: $quillet is not built or installed" >&2; exit 2; }
# The program's own folder, where it reads its profile: the folder of the program itself, also when bin/Quillet links to it.
progdir=$(dirname "$(readlink -f "$quillet")")

if [[ -f "$dir/CMakeCache.txt" ]]; then
  work="$dir/demo-run"
  rm -rf "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work/out" "$work/c"
# A build folder gets the profile of this folder, also when the build copied
# an older one, and a fresh log; an installation keeps its own.
if [[ -f "$dir/CMakeCache.txt" ]]; then
  cp "$here/Quillet.ini" "$here/demo-finish.png" "$progdir/"
  rm -f "$progdir/Quillet.log"
fi
# The demo profile logs beside the program; an installation's profile logs
# into the user's own state folder.
log=$progdir/Quillet.log
[[ -f "$dir/CMakeCache.txt" ]] || log=${XDG_STATE_HOME:-$HOME/.local/state}/orn/Quillet.log
# Only this run's lines of the log are shown.
log_before=$(stat -c %s "$log" 2>/dev/null || echo 0)

# The form to import.
bash "$here/make-form.sh" "$work/antrag.bmp"

# The scanner stack's test device.
export SANE_CONFIG_DIR="$here/sane"

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
echo "== log ($log)"
[[ -f "$log" ]] && tail -c +$((log_before + 1)) "$log" | tr -d '\r'
if [[ -f "$work/c/Quillet.log" ]]; then
  echo "== start-up log (drive C)"
  tr -d '\r' < "$work/c/Quillet.log"
fi
echo "== event log"
[[ -f "$ORN_EVENTLOG" ]] && cut -f2,3,6 "$ORN_EVENTLOG"
echo "== transcript"
[[ -f "$ORN_UI_TRANSCRIPT" ]] && cat "$ORN_UI_TRANSCRIPT"
echo "== saved files ($work/out)"
saved=0
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
  echo "$(basename "$f"): $(stat -c %s "$f") bytes, $kind"
  if [[ $kind == TIFF ]] && command -v tiffinfo >/dev/null; then
    # One line per page: the scans of the sheets, in their order.
    tiffinfo "$f" 2>/dev/null | awk -v names="Vorderseite Rückseite" '
      function flush() { if (page) printf "  page %d (%s): %s, %s, %s bits, %s, %s dpi\n", page, side[page], size, colour, bits, packing, dpi }
      BEGIN { split(names, side, " ") }
      /^TIFF Directory/ { flush(); page++ }
      /Image Width:/ { size = $3 "x" $6 }
      /Bits\/Sample:/ { bits = $2 }
      /Photometric Interpretation:/ { colour = $0; sub(/.*Interpretation: /, "", colour) }
      /Compression Scheme:/ { packing = $0; sub(/.*Scheme: /, "", packing) }
      /Resolution:/ { dpi = $0; sub(/.*Resolution: /, "", dpi); sub(/,.*/, "", dpi) }
      END { flush() }'
  fi
  case "$(basename "$f"):$kind" in
    AUSWEIS_4711.TIF:TIFF)
      pages=$(tiffinfo "$f" 2>/dev/null | grep -c '^TIFF Directory' || true)
      [[ $pages == 2 ]] && saved=$((saved + 1)) ;;
    ANTRAG_4711.JPG:JPEG) saved=$((saved + 1)) ;;
  esac
done
echo "== exit code $rc ($signed)"
if [[ $work == "$dir/demo-run" ]]; then
  echo "The run's files stay in $work: out/ (the saved files), transcript.txt, eventlog.txt."
else
  echo "The run's files in $work are removed now."
fi
if ((signed != 1 || saved != 2)); then
  echo "run-demo: FAILED: Quillet ended with $signed (1 expected) and saved $saved of the 2 files" >&2
  exit 1
fi
