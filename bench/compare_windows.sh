#!/usr/bin/env bash
# The Linux program and the cross-built Windows one (under wine) on the same
# generated data sets, every method, with permutations, bootstraps and a
# results folder: lists each file that differs and, for a text file, the
# first differing line of each build.  The two C libraries' pow, exp and log
# differ in the last bit now and then; this shows whether a printed digit
# ever does.
#
#   bench/compare_windows.sh [LINUX_BUILD [WINDOWS_BUILD]]   (build, build-win)
#   DATASETS="6x20x300 12x15x1000" bench/compare_windows.sh
#
# run.json (times, command line, file names) and summary.html (its start
# time) are left out: they record the run, not its results.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
linux=$(cd "${1:-$here/build}" && pwd)
windows=$(cd "${2:-$here/build-win}" && pwd)
datasets=${DATASETS:-"6x20x300 12x15x1000 4x40x2000"}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX=${WINEPREFIX:-$windows/wineprefix} WINEDEBUG=-all DISPLAY=

# OPTIONS for each method: 1 (square root), 2 and 3 (Bayesian, Fis 0.1 and
# 0), 4 (Bayesian with fitted prior).
methods=("-m 1" "-m 2 -F 0.1" "-m 3" "-m 4")

differing=0
compared=0
for name in $datasets; do
  IFS=x read -r r n m <<<"$name"
  "$linux/aflpgen" --populations "$r" --individuals "$n" --loci "$m" --missing 0.03 --seed 5 \
    --output "$work/$name.txt"
  for k in "${!methods[@]}"; do
    args="--batch --seed 777 --threads 2 -p 200 -b 20 --amova-permutations 99 ${methods[$k]} --results res"
    for side in linux windows; do
      dir="$work/$side/$name/$k"
      mkdir -p "$dir"
      cp "$work/$name.txt" "$dir/data.txt"
      if [ "$side" = linux ]; then
        (cd "$dir" && "$linux/bandscape" $args data.txt out.txt >/dev/null 2>&1)
      else
        (cd "$dir" && wine "$windows/bandscape.exe" $args data.txt out.txt >/dev/null 2>&1)
      fi
      rm -f "$dir/data.txt" "$dir/res/run.json" "$dir/res/summary.html"
    done
    while IFS= read -r file; do
      compared=$((compared + 1))
      a="$work/linux/$name/$k/$file" b="$work/windows/$name/$k/$file"
      if [ ! -f "$b" ]; then
        echo "$name ${methods[$k]}: $file missing from the Windows run"; differing=$((differing + 1))
      elif ! cmp -s "$a" "$b"; then
        differing=$((differing + 1))
        echo "$name ${methods[$k]}: $file differs"
        diff "$a" "$b" | sed -n '1,4p' | cut -c1-160 | sed 's/^/    /' || true
      fi
    done < <(cd "$work/linux/$name/$k" && find . -type f | sed 's|^\./||' | sort)
  done
done
echo "$compared files compared, $differing differ"
