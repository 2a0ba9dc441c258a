#!/usr/bin/env bash
# What a durable write costs, and what the registry's kept hive saves:
#   bench/files/run.sh [BUILD_DIR]
# The files are written in $TMPDIR (default /var/tmp, which is on a disk
# where /tmp may be memory): a flush to the disk costs there what it costs a
# user's folder. One table of medians and ratios.
set -euo pipefail
build=${1:-$(dirname "$0")/../../build-release}
base=${TMPDIR:-/var/tmp}
work=$(mktemp -d "$base/orn-files-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "== Files: durable writes against a plain write; the registry's kept hive against reading it anew (in $base)"
"$build/bench/files_bench" "$work"
