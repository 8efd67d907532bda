#!/usr/bin/env bash
# Side-by-side whole-program benchmark of two builds of the program, an
# earlier one (BASE) and this one (NEW), in one script run on the same
# generated data: batch mode, method 4, no resampling, a fixed seed, the same
# thread count for both.  Prints the wall time and peak memory of each, the
# speed-up, and whether the two wrote the same files (report, error.txt,
# structure.txt), byte for byte.  With RESULTS=1 both also write a results
# folder, compared file by file (run.json without its step times).  ARGS
# replaces the analysis options (default "-m 4").  With GROUPS=1 both runs
# take a subset file that puts the populations in two groups (a three-level
# AMOVA).
#
#   bench/compare_runs.sh BASE_BUILD [NEW_BUILD]          (NEW_BUILD: build)
#   THREADS=1 DATASETS="2000x5000 5000x50000" bench/compare_runs.sh ...
#   RESULTS=1 ARGS="-m 2 -p 99 -b 10" THREADS=2 bench/compare_runs.sh ...
#   RESULTS=1 GROUPS=1 ARGS="-m 3 -p 99" DATASETS=150x400 bench/compare_runs.sh ...
#
# A build of an earlier commit, for instance:
#   git worktree add /tmp/base <commit>
#   cmake -S /tmp/base -B /tmp/base/build && cmake --build /tmp/base/build --target bandscape
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
base=$(cd "${1:?the build folder of the earlier program}" && pwd)
new=$(cd "${2:-$here/build}" && pwd)
threads=${THREADS:-1}
datasets=${DATASETS:-"2000x5000"}
results=${RESULTS:-0}
groups=${GROUPS:-0}
read -r -a analysis <<<"${ARGS:--m 4}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# NAME is INDIVIDUALSxLOCI: 20 populations (50 above 2,000 individuals), 2% missing.
make_data() {
  local n=${1%x*} m=${1#*x} r=20
  [ "$n" -gt 2000 ] && r=50
  "$new/aflpgen" --populations "$r" --individuals "$((n / r))" --loci "$m" --missing 0.02 --seed 8 \
    --output "$work/$1.txt"
  if [ "$groups" = 1 ]; then
    # Every population, the first half in group 1 and the rest in group 2.
    { printf '%d\t2\n' "$r"
      for j in $(seq 1 "$r"); do printf 'Pop%02d\t%d\n' "$j" $((j <= r / 2 ? 1 : 2)); done
    } >"$work/$1_groups.txt"
  fi
}

# run LABEL EXE NAME: "seconds peak-MB" of one run in a folder of its own.
run() {
  local dir="$work/$1_$3"
  local extra=()
  [ "$results" = 1 ] && extra=(--results res)
  [ "$groups" = 1 ] && extra+=(--subset "$work/$3_groups.txt")
  mkdir -p "$dir"
  (cd "$dir" && /usr/bin/time -f "%e %M" -o ../time_$1_$3.txt "$2" --batch --seed 12345 --threads "$threads" \
      "${analysis[@]}" "${extra[@]}" "$work/$3.txt" out.txt >/dev/null 2>&1)
  awk '{printf "%s %.0f", $1, $2 / 1024}' "$work/time_$1_$3.txt"
}

printf '%-12s %8s %12s %10s %12s %10s %9s %s\n' data threads "base s" "base MB" "new s" "new MB" speed-up files
for name in $datasets; do
  make_data "$name"
  read -r t_base mem_base <<<"$(run base "$base/bandscape" "$name")"
  read -r t_new mem_new <<<"$(run new "$new/bandscape" "$name")"
  same=identical
  for f in out.txt error.txt structure.txt; do
    cmp -s "$work/base_$name/$f" "$work/new_$name/$f" || same="DIFFER ($f)"
  done
  if [ "$results" = 1 ]; then
    for f in "$work/base_$name/res"/*; do
      b=$(basename "$f")
      if [ "$b" = run.json ]; then
        # The clock times differ from run to run (and the start time in
        # summary.html), and the path of the program.
        filter='del(.steps_seconds, .start_time, .end_time, .wall_seconds, .command_line[0])'
        cmp -s <(jq -S "$filter" "$f" 2>/dev/null) <(jq -S "$filter" "$work/new_$name/res/$b" 2>/dev/null) ||
          same="DIFFER (res/$b)"
      elif [ "$b" = summary.html ]; then
        cmp -s <(grep -v '<dt>Started</dt>' "$f") <(grep -v '<dt>Started</dt>' "$work/new_$name/res/$b") ||
          same="DIFFER (res/$b)"
      else
        cmp -s "$f" "$work/new_$name/res/$b" || same="DIFFER (res/$b)"
      fi
    done
    [ "$(ls "$work/base_$name/res" | wc -l)" = "$(ls "$work/new_$name/res" | wc -l)" ] || same="DIFFER (file count)"
  fi
  speedup=$(awk -v a="$t_base" -v b="$t_new" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  printf '%-12s %8s %12s %10s %12s %10s %9s %s\n' "$name" "$threads" "$t_base" "$mem_base" "$t_new" "$mem_new" \
    "$speedup" "$same"
  rm -rf "$work/base_$name" "$work/new_$name"
done
