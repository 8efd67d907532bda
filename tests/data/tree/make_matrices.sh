#!/usr/bin/env bash
# Regenerates the distance matrices of this folder: the shipped example run in
# batch mode with seed 1, and each matrix block of the report (the count line
# and the rows after a title that ends in "(Phylip format)") cut out as it is.
#   tests/data/tree/make_matrices.sh [build-folder]     (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
exe=$(cd "${1:-$root/build}" && pwd)/bandscape
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && "$exe" --batch --seed 1 "$root/examples/aflpdata.txt" report.txt >/dev/null)
cut_block() {  # title-prefix file
  awk -v t="$1" 'index($0, t) == 1 && /\(Phylip format\)$/ { getline n; print n; for (i = 0; i < n; i++) { getline; print }; exit }' \
    "$work/report.txt" >"$here/$2"
}
cut_block "Nei_s genetic distance" example_nei.phy
cut_block "Pairwise Fst" example_fst.phy
cut_block "Reynolds et al." example_reynolds.phy
cut_block "1-r distance" example_individuals.phy
