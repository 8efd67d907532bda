#!/usr/bin/env bash
# The Mantel test on 2,000 individuals against vegan::mantel on the same
# matrices (built by the same formulas in bench/spatial_bench.cpp and here:
# individual i at x = (37 i mod 1000) / 10, y = (91 i mod 1000) / 10 km,
# genetic distance |sin i - sin j| + km / 100) and 999 permutations.
# vegan is timed with VEGAN_PERMUTATIONS permutations (default 99) and its
# time scaled to 999, since it grows linearly with them.
#
#   bench/mantel_vs_vegan.sh [build-folder]   (a build with -DBANDSCAPE_BENCH=ON)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
vperm=${VEGAN_PERMUTATIONS:-99}

ours=$("$build/bandscape_bench" --benchmark_filter='BM_MantelOneTest/2000/(1|2)/' --benchmark_format=csv 2>/dev/null |
  awk -F, 'NR > 1 { gsub(/"/, "", $1); print $1, $3 / 1000 }')
echo "bandscape, 999 permutations (s):"
echo "$ours"

if ! command -v Rscript >/dev/null; then
  echo "Rscript not found: no comparison with vegan"
  exit 0
fi
vegan=$(Rscript -e "
suppressPackageStartupMessages(library(vegan))
n <- 2000; i <- 0:(n - 1)
xy <- cbind((37 * i) %% 1000 / 10, (91 * i) %% 1000 / 10)
km <- as.matrix(dist(xy))
g <- abs(outer(sin(i), sin(i), '-')) + km / 100
t <- system.time(m <- mantel(as.dist(g), as.dist(km), permutations = $vperm))[['elapsed']]
cat(t * 999 / $vperm, m\$statistic, '\n')")
read -r vsec vr <<<"$vegan"
echo "vegan::mantel r = $vr, time scaled to 999 permutations: $vsec s"
echo "$ours" | while read -r name sec; do
  awk -v n="$name" -v a="$sec" -v b="$vsec" 'BEGIN { printf "%s: %.1f times faster than vegan::mantel\n", n, b / a }'
done
