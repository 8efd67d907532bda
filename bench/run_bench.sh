#!/usr/bin/env bash
# Whole-program benchmark.  Generates three data sets with the repository's
# generator (the shipped example; 100 populations x 20 individuals x 2,000 loci;
# 2,000 individuals x 5,000 loci in 20 populations), runs the program in batch
# mode with a fixed seed and a realistic option set, and prints wall time, peak
# memory and the speed-up of 2 threads over 1.
#
#   bench/run_bench.sh [build-folder]        (default: build)
#   PERMUTATIONS=1000 BOOTSTRAPS=1000 FIS_VALUES="0 0.3" DATASETS="example medium large" bench/run_bench.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
exe=$build/bandscape
gen=$build/aflpgen
perms=${PERMUTATIONS:-1000}
boots=${BOOTSTRAPS:-1000}
fis_values=${FIS_VALUES:-"0 0.3"}
datasets=${DATASETS:-"example medium large"}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

make_data() {
  case "$1" in
    example) cp "$here/examples/aflpdata.txt" "$work/example.txt" ;;
    medium) "$gen" --populations 100 --individuals 20-20 --loci 2000 --seed 7 --output "$work/medium.txt" ;;
    large) "$gen" --populations 20 --individuals 100-100 --loci 5000 --seed 8 --output "$work/large.txt" ;;
  esac
}

# run NAME THREADS ARGS...: prints "seconds peak-MB" of one batch run in a folder of its own.
run() {
  local name=$1 threads=$2
  shift 2
  local dir="$work/run_${name}_$threads"
  rm -rf "$dir" && mkdir -p "$dir"
  (cd "$dir" && /usr/bin/time -f "%e %M" -o time.txt "$exe" --batch --seed 12345 --threads "$threads" "$@" \
      "$work/$name.txt" out.txt >/dev/null 2>&1)
  awk '{printf "%s %.0f", $1, $2 / 1024}' "$dir/time.txt"
}

speedup() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

printf '%-8s %-32s %10s %10s %8s %10s\n' data options "1 thread s" "2 threads s" speed-up "peak MB"
for name in $datasets; do
  make_data "$name"
  # Relatedness and the estimators alone (no resampling).
  read -r t1 mem1 <<<"$(run "$name" 1 -m 4)"
  read -r t2 mem2 <<<"$(run "$name" 2 -m 4)"
  printf '%-8s %-32s %10s %10s %8s %10s\n' "$name" "-m 4 (no resampling)" "$t1" "$t2" "$(speedup "$t1" "$t2")" "$mem2"
  for fis in $fis_values; do
    opts="-m 4 -F $fis -p $perms -b $boots"
    read -r t1 mem1 <<<"$(run "$name" 1 $opts)"
    read -r t2 mem2 <<<"$(run "$name" 2 $opts)"
    printf '%-8s %-32s %10s %10s %8s %10s\n' "$name" "$opts" "$t1" "$t2" "$(speedup "$t1" "$t2")" "$mem2"
  done
done
