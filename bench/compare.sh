#!/usr/bin/env bash
# Times two kelvarin executables on the same file, alternating them run by run so that a busy
# moment of the machine falls on both, and prints the medians of each, wall time and processor
# time, and their ratios. Also checks that both write the same output. The order within a pair
# alternates too (old-new, new-old, ...): the second of a pair ran about 1 % slower, so a fixed
# order favoured the old program.
#
# Usage: bench/compare.sh OLD NEW FILE ANSWERS [RUNS]     (default: 9 runs each)
set -euo pipefail
old=$1
new=$2
data=$3
answers=$4
runs=${5:-9}
root=$(cd "$(dirname "$0")/.." && pwd)
timed=$root/build-bench/bench/kelvarin-timed
if [ ! -x "$timed" ]; then
  cmake -S "$root" -B "$root/build-bench" -DKELVARIN_BENCH=ON -DKELVARIN_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$root/build-bench" --target kelvarin-timed >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat "$data" > /dev/null  # into the page cache

source "$(dirname "$0")/timing.sh"

# Appends "wall cpu" of one run of PROGRAM to the file NAME.times.
run_one() { "$timed" "$answers" "$1" "$data" "$work/$2.out" >> "$work/$2.times"; }

for run in $(seq "$runs"); do
  if ((run % 2)); then
    run_one "$old" old
    run_one "$new" new
  else
    run_one "$new" new
    run_one "$old" old
  fi
done
cmp -s "$work/old.out" "$work/new.out" || { echo "the two programs write different output"; exit 1; }
column_median() { median $(cut -d' ' -f"$1" "$2"); }
wall_old=$(column_median 1 "$work/old.times")
wall_new=$(column_median 1 "$work/new.times")
cpu_old=$(column_median 2 "$work/old.times")
cpu_new=$(column_median 2 "$work/new.times")
awk -v wo="$wall_old" -v wn="$wall_new" -v co="$cpu_old" -v cn="$cpu_new" -v r="$runs" 'BEGIN {
  printf "          wall       processor  (medians of %d)\n", r
  printf "old   %8.4f s  %8.4f s\nnew   %8.4f s  %8.4f s\n", wo / 1e6, co / 1e6, wn / 1e6, cn / 1e6
  printf "new / old  %.3f     %.3f\n", wn / wo, cn / co }'
echo "output identical: yes"
