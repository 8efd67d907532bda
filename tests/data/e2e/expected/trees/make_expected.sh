#!/usr/bin/env bash
# Regenerates the expected tree files of the results folder: four_pops.txt with
# seed 2 and 40 bootstraps (a consensus with one split), three_pops.txt with
# seed 4711 and 20 bootstraps.  The files are the program's own; what makes
# them right is checked by tests/report/tree_results_test.cpp, which runs
# PHYLIP neighbor and consense on matrices given at full precision and
# compares them with the same code path.  This script also checks the
# observed trees' topology against neighbor run on the report's 4-decimal blocks.
#   tests/data/e2e/expected/trees/make_expected.sh [build-folder]   (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../../../.." && pwd)
exe=$(cd "${1:-$root/build}" && pwd)/bandscape
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() {  # data-file seed bootstraps target-folder
  mkdir -p "$work/$4" "$here/$4"
  cp "$root/tests/data/e2e/$1" "$work/$4/data.txt"
  (cd "$work/$4" && "$exe" --batch --seed "$2" -b "$3" --results res data.txt report.txt >/dev/null)
  cp "$work/$4"/res/*.nwk "$here/$4/"
  for title in "Nei" "Pairwise Fst" "Reynolds"; do
    awk -v t="$title" 'index($0, t) == 1 && /\(Phylip format\)$/ { getline n; print n; for (i = 0; i < n; i++) { getline; print }; exit }' \
      "$work/$4/report.txt" >"$work/$4/infile"
    (cd "$work/$4" && rm -f outfile outtree && printf 'Y\n' | phylip neighbor >/dev/null 2>&1 && tr -d '\n' <outtree; echo "  <- neighbor on the report's $title block")
  done
}
run four_pops.txt 2 40 four_pops
run three_pops.txt 4711 20 three_pops
