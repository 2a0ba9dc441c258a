#!/usr/bin/env bash
# Installs the build into a fresh prefix and runs what an installation puts on
# a workstation from there: Quillet on the demo profile through its links,
# the demo launcher, Glimpra on an image, Lumoret printing a letter, and a
# Java program on the installed jar and libBrennix.so against a SoftHSM2
# token. Nothing may lead back into the build tree.
# Usage: run_installed.sh CMAKE BUILD_DIR JAVA JAVAC SOFTHSM2_MODULE SOFTHSM2_UTIL DESKTOP_FILE_VALIDATE
set -euo pipefail
cmake=$1 build=$2 java=$3 javac=$4 softhsm=$5 util=$6 validate=$7
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/orn-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "run_installed: $*" >&2; exit 1; }
unset LD_LIBRARY_PATH CLASSPATH JAVA_TOOL_OPTIONS ORN_PROGRAM_DIR SANE_CONFIG_DIR XDG_DATA_HOME
export ORN_EVENTLOG=$work/eventlog.txt ORN_DRIVE_C=$work ORN_REGISTRY_DIR=$work/registry ORN_UI_TIMEOUT=60
# The user's own folders: the installed profile logs into the state folder.
export HOME=$work/home XDG_STATE_HOME=$work/state
mkdir "$HOME"
state_log=$XDG_STATE_HOME/orn/Quillet.log

echo "== cmake --install --prefix $prefix"
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.txt" || { cat "$work/install.txt"; fail "install failed"; }

echo "== no path into the build tree"
if grep -rlI --fixed-strings "$build" "$prefix"; then fail "these files name the build tree"; fi
while IFS= read -r f; do
  file -b "$f" | grep -q '^ELF' || continue
  readelf -d "$f" | grep -E 'R(UN)?PATH' | grep -v 'path: \[\$ORIGIN[^]:]*\]$' && fail "$f: search path outside the installation"
  # Every library resolves, and those of the kit from inside the prefix.
  ldd "$f" | grep 'not found' && fail "$f: a library is missing"
  ldd "$f" | grep -E '(liborn_|libpixo)[^ ]* => ' | grep -v " => $prefix/" && fail "$f: a library of the kit from outside"
done < <(find "$prefix" -type f)

echo "== Quillet on the demo profile, through bin/Quillet"
# The demo's own status: Quillet ended with 1 and saved both files.
bash "$src/demo/run-demo.sh" "$prefix" >"$work/demo.txt" 2>&1 ||
  { cat "$work/demo.txt"; fail "the demo did not end with 1 and save its files"; }
grep -q "Started:.*;$prefix/lib/orn/Quillet.ini;$state_log\$" <(tr -d '\r' <"$state_log") ||
  fail "Quillet did not read lib/orn/Quillet.ini or log into the user's state folder"
[[ ! -e $prefix/lib/orn/Quillet.log ]] || fail "Quillet logged into the program's folder"

echo "== Quillet through a link to its link"
mkdir "$work/links" "$work/out"
ln -s "$prefix/bin/Quillet" "$work/links/Quillet"
rc=0
ORN_SCANNER=none ORN_UI_SCRIPT=/dev/null "$work/links/Quillet" DEMO 815 "$work/out" || rc=$?
# An empty script: the window is closed at shut-down, -9.
[[ $rc == 247 ]] || fail "Quillet through two links ended with $rc"
grep -q "Cmd:1=DEMO,2=815," "$state_log" || fail "Quillet through two links did not find its profile"

echo "== Quillet when its log cannot be written: the error names the file"
rc=0
XDG_STATE_HOME=/dev/null ORN_SCANNER=none ORN_UI_SCRIPT=/dev/null ORN_UI_TRANSCRIPT=$work/unwritable.txt \
  "$prefix/bin/Quillet" DEMO 816 "$work/out" || rc=$?
grep -q "^msgbox | Error ! | .* | Error: [0-9]*/ .* (/dev/null/orn/Quillet.log) in Load Step- 2 | " "$work/unwritable.txt" ||
  fail "the error box does not name the log file: $(cat "$work/unwritable.txt")"

echo "== quillet-demo, as a user: the demo from end to end"
rc=0
ORN_UI_SCRIPT=$prefix/share/orn/demo/operator.script "$prefix/bin/quillet-demo" 42 >"$work/quillet-demo.txt" 2>&1 ||
  rc=$?
[[ $rc == 1 ]] || { cat "$work/quillet-demo.txt"; fail "quillet-demo ended with $rc, not 1 (saved)"; }
userdir=$HOME/.local/share/orn/quillet-demo
grep -q "Cmd:1=DEMO,2=42,3=$userdir/out," "$userdir/Quillet.log" || fail "quillet-demo did not run Quillet in $userdir"
[[ $(tiffinfo "$userdir/out/AUSWEIS_42.TIF" 2>/dev/null | grep -c '^TIFF Directory') == 2 ]] ||
  fail "quillet-demo did not save both scanned sides of the ID card"
[[ $(head -c 2 "$userdir/out/ANTRAG_42.JPG" | od -An -tx1 | tr -d ' ') == ffd8 ]] ||
  fail "quillet-demo did not save the dropped form"

echo "== Glimpra on an image"
printf 'dump "%s"\n' "$work/glimpra.dump" >"$work/glimpra.script"
ORN_UI_SCRIPT=$work/glimpra.script "$prefix/bin/Glimpra" "$prefix/share/orn/demo/demo-finish.png"
grep -q '^Glimpra1.Caption = "demo-finish.png:320x120.24  1/1 ' "$work/glimpra.dump" ||
  fail "Glimpra did not show the image: $(grep Caption "$work/glimpra.dump")"

echo "== orn-setup: the registry of a fresh installation"
"$prefix/bin/orn-setup" --help | grep -q "Every user runs it" || fail "orn-setup --help does not say who runs it"
rc=0
"$prefix/bin/orn-setup" --bogus 2>/dev/null || rc=$?
[[ $rc == 2 ]] || fail "orn-setup --bogus ended with $rc, not 2"
"$prefix/bin/orn-setup" >"$work/setup.txt" || { cat "$work/setup.txt"; fail "orn-setup failed"; }
grep -qxF "\"EventMessageFile\"=sz:\"$prefix/share/orn/ORN4.msg\"" "$work/registry/HKEY_LOCAL_MACHINE.hive" ||
  fail "orn-setup did not register the installed catalogue"

echo "== Lumoret printing a letter"
printf '%s\n' '{\rtf1\ansi{\fonttbl{\f0 Arial;}}\f0\fs24 PUK-Brief\par Ihre PUK lautet 73914682.\par}' >"$work/letter.rtf"
printf '%s\n' 'printer "ORN PDF"' 'menu 501' >"$work/lumoret.script"
rc=0
ORN_UI_SCRIPT=$work/lumoret.script ORN_SPOOL_DIR=$work/spool "$prefix/bin/Lumoret" -t 3 -f "$work/letter.rtf" || rc=$?
[[ $rc == 1 ]] || fail "Lumoret ended with $rc, not 1 (printed)"
pdftotext "$work"/spool/*.pdf - | grep -q 'Ihre PUK lautet 73914682' || fail "the printed letter lacks its text"
! grep -s ORN4 "$work/eventlog.txt" || fail "Lumoret logged on a set-up installation"

echo "== a Java program on the installed jar and libBrennix.so"
jar=$prefix/share/java/brennix.jar
jni=$(dirname "$(find "$prefix/lib" -name libBrennix.so)")
"$javac" -Xlint:all -Werror -cp "$jar" -d "$work/classes" "$here/InstalledToken.java"
mkdir "$work/tokens"
printf '%s\n' "directories.tokendir = $work/tokens" 'objectstore.backend = file' 'log.level = ERROR' >"$work/softhsm2.conf"
export SOFTHSM2_CONF=$work/softhsm2.conf
"$util" --init-token --free --label "ORN Install" --so-pin 12345678 --pin 4321 >/dev/null
"$java" -Xcheck:jni -Djava.library.path="$jni" -cp "$jar:$work/classes" \
  InstalledToken "$softhsm" 4321 >"$work/java.txt" 2>&1 || { cat "$work/java.txt"; fail "the Java program failed"; }
cat "$work/java.txt"
grep -qx 'digest: ok' "$work/java.txt" || fail "no digest"
grep -qx "jar: $(readlink -f "$jar")" "$work/java.txt" || fail "Pkcs11Impl did not come from the installed jar"
grep -qx "library: $jni/libBrennix.so" "$work/java.txt" || fail "libBrennix.so did not come from the installation"
grep -q WARNING "$work/java.txt" && fail "JNI check reported warnings"

echo "== desktop entries"
"$validate" "$prefix"/share/applications/*.desktop
for entry in "$prefix"/share/applications/*.desktop; do
  exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
  icon=$(sed -n 's/^Icon=//p' "$entry")
  [[ -x "$prefix/bin/$exec" ]] || fail "$entry: $exec is not installed"
  [[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ]] || fail "$entry: icon $icon is not installed"
  file -b "$prefix/share/icons/hicolor/48x48/apps/$icon.png" | grep -q 'PNG image data, 48 x 48' ||
    fail "$entry: no 48x48 icon $icon"
done
echo "install_tree: ok"
