#!/usr/bin/env bash
# Times two kelvarin executables on the same file, alternating them run by run so that a busy
# moment of the machine falls on both, and prints the median of each and their ratio. Also checks
# that both write the same output. The order within a pair alternates too (old-new, new-old, ...):
# the second of a pair ran about 1 % slower, so a fixed order favoured the old program.
#
# Usage: bench/compare.sh OLD NEW FILE ANSWERS [RUNS]     (default: 9 runs each)
set -euo pipefail
old=$1
new=$2
data=$3
answers=$4
runs=${5:-9}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat "$data" > /dev/null  # into the page cache

source "$(dirname "$0")/timing.sh"

old_times=()
new_times=()
for run in $(seq "$runs"); do
  if ((run % 2)); then
    old_times+=("$(time_run "$old" "$data" "$work/old.out" "$answers")")
    new_times+=("$(time_run "$new" "$data" "$work/new.out" "$answers")")
  else
    new_times+=("$(time_run "$new" "$data" "$work/new.out" "$answers")")
    old_times+=("$(time_run "$old" "$data" "$work/old.out" "$answers")")
  fi
done
cmp -s "$work/old.out" "$work/new.out" || { echo "the two programs write different output"; exit 1; }
t_old=$(median "${old_times[@]}")
t_new=$(median "${new_times[@]}")
awk -v o="$t_old" -v n="$t_new" -v r="$runs" 'BEGIN {
  printf "old  %8.4f s (median of %d)\nnew  %8.4f s\nnew / old  %.3f\n", o / 1e6, r, n / 1e6, n / o }'
echo "output identical: yes"
