#!/usr/bin/env bash
# Runs Quillet headless on the bundled demo profile with the operator script
# demo/operator.script and prints what it did: its log lines, its event-log
# records, its message boxes and its exit code.
#   demo/run-demo.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: run-demo.sh BUILD_DIR}
bin="$build/bin"
[[ -x "$bin/Quillet" ]] || { echo "run-demo: $bin/Quillet is not built" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/out" "$work/c"
rm -f "$bin/Quillet.log"

export ORN_UI_SCRIPT="$here/operator.script"
export ORN_UI_TRANSCRIPT="$work/transcript.txt"
export ORN_EVENTLOG="$work/eventlog.txt"
export ORN_DRIVE_C="$work/c"
export ORN_UI_TIMEOUT=${ORN_UI_TIMEOUT:-60}

echo "\$ Quillet DEMO 4711 $work/out"
set +e
"$bin/Quillet" DEMO 4711 "$work/out"
rc=$?
set -e
# The process exit code carries the low 8 bits of the result code.
(( signed = rc > 127 ? rc - 256 : rc ))

echo
echo "== log ($bin/Quillet.log)"
[[ -f "$bin/Quillet.log" ]] && tr -d '\r' < "$bin/Quillet.log"
if [[ -f "$work/c/Quillet.log" ]]; then
  echo "== start-up log (drive C)"
  tr -d '\r' < "$work/c/Quillet.log"
fi
echo "== event log"
[[ -f "$ORN_EVENTLOG" ]] && cut -f2,3,6 "$ORN_EVENTLOG"
echo "== transcript"
[[ -f "$ORN_UI_TRANSCRIPT" ]] && cat "$ORN_UI_TRANSCRIPT"
echo "== exit code $rc ($signed)"
