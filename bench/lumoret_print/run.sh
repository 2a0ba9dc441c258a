#!/usr/bin/env bash
# Runs the long plain-text and form print benchmark: bench/lumoret_print/run.sh [BUILD] [PAGES...]
set -euo pipefail
build=${1:-$(dirname "$0")/../../build}
shift || true
echo "== Lumoret: printing a long plain-text file and a long form (linear in their pages; against Pango and cairo alone)"
"$build/bench/lumoret_print_bench" "$@"
