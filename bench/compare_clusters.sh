#!/usr/bin/env bash
# The cluster analyses side by side with adegenet on the same data and
# settings: 2,000 individuals x 5,000 loci in 20 populations (aflpgen, seed 8),
# principal components (100 kept), K-means for K = 1..10 with 10 starts and a
# DAPC on 100 components with 10 functions.  Prints the seconds of each and the
# ratio.  Needs a build with -DBANDSCAPE_BENCH=ON and R with adegenet.
#
#   bench/compare_clusters.sh [build-folder]      (default: build)
#   THREADS=1 bench/compare_clusters.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
threads=${THREADS:-2}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
data=$work/large.txt
"$build/aflpgen" --populations 20 --individuals 100-100 --loci 5000 --seed 8 --output "$data"

ours=$(BANDSCAPE_CLUSTERS_DATA=$data "$build/bandscape_bench" \
         --benchmark_filter="BM_clusters_and_dapc/threads:$threads/" --benchmark_format=csv 2>/dev/null |
       awk -F, '/BM_clusters_and_dapc/ { t = $3; u = $5; gsub(/"/, "", u);
                 f = (u == "ms") ? 1e-3 : (u == "us") ? 1e-6 : (u == "ns") ? 1e-9 : 1; printf "%.3f", t * f }')

theirs=$(Rscript - "$data" <<'RSCRIPT'
suppressMessages(library(adegenet))
file <- commandArgs(TRUE)[1]
lines <- readLines(file)
lines <- lines[-1]
lines <- lines[seq_len(match("END", sub("\t.*", "", lines)) - 1)]
fields <- strsplit(lines, "\t")
pop <- factor(sapply(fields, `[`, 1), levels = unique(sapply(fields, `[`, 1)))
x <- do.call(rbind, lapply(fields, function(f) as.integer(f[-(1:2)])))
x[x == 9] <- NA
colnames(x) <- paste0("L", seq_len(ncol(x)))
rownames(x) <- paste0("i", seq_len(nrow(x)))
g <- suppressWarnings(df2genind(x, ploidy = 1, type = "PA", pop = pop))
t <- system.time({
  f <- find.clusters(g, n.pca = 100, max.n.clust = 10, n.start = 10, choose.n.clust = FALSE, criterion = "min")
  d <- dapc(g, pop, n.pca = 100, n.da = 10)
})
cat(sprintf("%.3f", t[["elapsed"]]))
RSCRIPT
)
echo "data: 2000 individuals x 5000 loci, 20 populations; threads: $threads"
echo "bandscape clusters + DAPC: ${ours} s"
echo "adegenet find.clusters + dapc: ${theirs} s"
awk -v a="$theirs" -v b="$ours" 'BEGIN { printf "ratio: %.1f x\n", a / b }'
