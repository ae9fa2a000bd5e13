#!/usr/bin/env bash
# The kelvarin-prepare benchmark: STATIONS files of YEARS years of hourly rows in the German
# weather service's layout, merged into one station file; prints the wall time and peak memory.
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
/usr/bin/time -f '%e %M' -o bench-data/prepare.time \
  build-bench/kelvarin-prepare -o bench-data/prepared.txt "$folder"/*.txt 2> bench-data/prepare.summary
read -r seconds peak_kb < bench-data/prepare.time
printf 'input           %s: %d files, %d rows, %.0f MB\n' "$folder" "$stations" "$((rows - stations))" \
  "$(echo "$bytes / 1000000" | bc -l)"
printf 'kelvarin-prepare %7.2f s, peak resident memory %d MiB\n' "$seconds" "$((peak_kb / 1024))"
printf 'output          %s: %d lines\n' bench-data/prepared.txt "$(wc -l < bench-data/prepared.txt)"
