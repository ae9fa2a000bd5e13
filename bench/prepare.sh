#!/usr/bin/env bash
# The kelvarin-prepare benchmark: STATIONS files of YEARS years of hourly rows in the German
# weather service's layout, merged into one station file and split into one file per station;
# prints the wall time and peak memory of each.
#
# Usage: bench/prepare.sh [YEARS] [STATIONS]      (default: 70 100, about 60 million values)
#        bench/prepare.sh YEARS STATIONS RUNS OLD
# With RUNS and OLD (another build of kelvarin-prepare), the two are alternated RUNS times, merged
# and split, and each prints the medians of its wall times and its peak memory; their outputs must
# be the same.
# STEP=10 in the environment makes the files 10-minute ones (the service's 10-minute layout).
# Builds into build-bench/ and writes its files into bench-data/ (both ignored by git).
set -euo pipefail
cd "$(dirname "$0")/.."
years=${1:-70}
stations=${2:-100}
bash tools/install-deps.sh libbenchmark-dev time
cmake -S . -B build-bench -DKELVARIN_BENCH=ON -DKELVARIN_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j "$(nproc)" >/dev/null
step=${STEP:-60}
folder="bench-data/dwd_${years}y_${stations}s$([ "$step" = 60 ] || echo "_${step}min")"
if [ ! -d "$folder" ]; then
  mkdir -p "$folder"
  build-bench/bench/kelvarin-prepare-generate "$years" "$stations" "$folder" "$step"
fi
if [ $# -ge 4 ]; then
  runs=$3
  old=$4
  new=build-bench/kelvarin-prepare
  source bench/timing.sh
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  # Appends "seconds peak_kb" of one run of PROGRAM (merged, or split with "split") to NAME.times.
  run_one() {
    local program=$1 name=$2 kind=$3
    if [ "$kind" = split ]; then
      rm -rf "$work/$name.split"
      /usr/bin/time -f '%e %M' -a -o "$work/$name.$kind.times" \
        "$program" --split "$work/$name.split" "$folder"/*.txt 2> /dev/null
    else
      /usr/bin/time -f '%e %M' -a -o "$work/$name.$kind.times" \
        "$program" -o "$work/$name.txt" "$folder"/*.txt 2> /dev/null
    fi
  }
  for run in $(seq "$runs"); do
    for kind in merged split; do
      if ((run % 2)); then run_one "$old" old "$kind"; run_one "$new" new "$kind"
      else run_one "$new" new "$kind"; run_one "$old" old "$kind"; fi
    done
  done
  cmp -s "$work/old.txt" "$work/new.txt" && diff -rq "$work/old.split" "$work/new.split" > /dev/null ||
    { echo "the two programs write different files"; exit 1; }
  for kind in merged split; do
    for name in old new; do
      printf '%-7s %-4s median %6.2f s of %d, peak resident memory %d MiB\n' "$kind" "$name" \
        "$(median $(cut -d' ' -f1 "$work/$name.$kind.times"))" "$runs" \
        "$(( $(cut -d' ' -f2 "$work/$name.$kind.times" | sort -n | tail -1) / 1024 ))"
    done
  done
  echo "files identical: yes"
  exit 0
fi
rows=$(cat "$folder"/*.txt | wc -l)
bytes=$(cat "$folder"/*.txt | wc -c)
printf 'input           %s: %d files, %d rows, %.0f MB\n' "$folder" "$stations" "$((rows - stations))" \
  "$(echo "$bytes / 1000000" | bc -l)"
/usr/bin/time -f '%e %M' -o bench-data/prepare.time \
  build-bench/kelvarin-prepare -o bench-data/prepared.txt "$folder"/*.txt 2> bench-data/prepare.summary
read -r seconds peak_kb < bench-data/prepare.time
printf 'merged          %7.2f s, peak resident memory %d MiB, %d lines\n' "$seconds" \
  "$((peak_kb / 1024))" "$(wc -l < bench-data/prepared.txt)"
rm -rf bench-data/prepared-split
/usr/bin/time -f '%e %M' -o bench-data/prepare.time \
  build-bench/kelvarin-prepare --split bench-data/prepared-split "$folder"/*.txt \
  2> bench-data/prepare-split.summary
read -r seconds peak_kb < bench-data/prepare.time
printf 'split           %7.2f s, peak resident memory %d MiB, %d files\n' "$seconds" \
  "$((peak_kb / 1024))" "$(find bench-data/prepared-split -name '*.txt' | wc -l)"
