#!/usr/bin/env bash
# Runs one of the bridge's Java test programs (BridgeTest unless CLASS is
# given) under -Xcheck:jni against a SoftHSM2 token made in a temporary
# directory; fails on a failed check and on any JNI warning in the output.
# The program gets the SoftHSM2 module, LIBDIR, the PIN, the token label and
# the trace file, then ARGS.
# Usage: run_java_tests.sh JAVA CLASSPATH LIBDIR SOFTHSM2_MODULE SOFTHSM2_UTIL [CLASS ARGS...]
set -euo pipefail
java=$1 classpath=$2 libdir=$3 softhsm=$4 util=$5
shift 5
class=${1:-BridgeTest}
shift $(($# > 0 ? 1 : 0))

work=$(mktemp -d "${TMPDIR:-/tmp}/brennix-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/tokens"
cat >"$work/softhsm2.conf" <<CONF
directories.tokendir = $work/tokens
objectstore.backend = file
log.level = ERROR
slots.removable = false
CONF
export SOFTHSM2_CONF=$work/softhsm2.conf
pin=1234
label="ORN Test"
"$util" --init-token --free --label "$label" --so-pin 12345678 --pin "$pin" >/dev/null

# The bridge's debugger output and the test module's log share one file, so
# the runner sees their order.
export ORN_DEBUG_OUTPUT=$work/trace.txt ORN_P11TEST_LOG=$work/trace.txt
rc=0
"$java" -Xcheck:jni -Djava.library.path="$libdir" -cp "$classpath" \
  "$class" "$softhsm" "$libdir" "$pin" "$label" "$work/trace.txt" "$@" >"$work/out.txt" 2>&1 || rc=$?
cat "$work/out.txt"
if grep -q "WARNING" "$work/out.txt"; then
  echo "run_java_tests: JNI check reported warnings" >&2
  exit 1
fi
exit "$rc"
