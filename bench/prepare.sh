#!/usr/bin/env bash
# The kelvarin-prepare benchmark: STATIONS files of YEARS years of hourly rows in the German
# weather service's layout, merged into one station file and split into one file per station;
# prints the wall time and peak memory of each.
#
# Usage: bench/prepare.sh [YEARS] [STATIONS]      (default: 70 100, about 60 million values)
# Builds into build-bench/ and writes its files into bench-data/ (both ignored by git).
set -euo pipefail
cd "$(dirname "$0")/.."
years=${1:-70}
stations=${2:-100}
bash tools/install-deps.sh libbenchmark-dev time
cmake -S . -B build-bench -DKELVARIN_BENCH=ON -DKELVARIN_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j "$(nproc)" >/dev/null
folder="bench-data/dwd_${years}y_${stations}s"
if [ ! -d "$folder" ]; then
  mkdir -p "$folder"
  build-bench/bench/kelvarin-prepare-generate "$years" "$stations" "$folder"
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
