#!/usr/bin/env bash
# Runs the long plain-text print benchmark: bench/lumoret_print/run.sh [BUILD] [PAGES...]
set -euo pipefail
build=${1:-$(dirname "$0")/../../build}
shift || true
echo "== Lumoret: printing a long plain-text file (linear in its pages; against Pango and cairo alone)"
"$build/bench/lumoret_print_bench" "$@"
