#!/usr/bin/env bash
# The throughput benchmark: times kelvarin, the fscanf/fprintf reference loop and the I/O floor
# (wc -l) on the same generated hourly file, hourly to three-hourly output.
#
# Usage: bench/run.sh [YEARS] [STATIONS] [RUNS]      (default: 10 200 5)
# Builds into build-bench/ and writes its files into bench-data/ (both ignored by git).
set -euo pipefail
cd "$(dirname "$0")/.."
years=${1:-10}
stations=${2:-200}
runs=${3:-5}
bash tools/install-deps.sh libbenchmark-dev time bc
cmake -S . -B build-bench -DKELVARIN_BENCH=ON -DKELVARIN_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j "$(nproc)" >/dev/null
mkdir -p bench-data
data="bench-data/hourly_${years}y_${stations}s.txt"
[ -f "$data" ] || build-bench/bench/kelvarin-generate "$years" "$stations" "$data"
printf '52.5\n13.4\n60\n60\n180\n1\n15\n' > bench-data/answers.txt
bytes=$(stat -c %s "$data")
cat "$data" > /dev/null  # into the page cache

# Prints the median wall time in seconds of `runs` runs of the command given.
median() {
  local times=()
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s.%N)
    "$@" > /dev/null
    end=$(date +%s.%N)
    times+=("$(echo "$end - $start" | bc -l)")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {printf "%.4f", a[int((NR+1)/2)]}'
}

run_kelvarin() { build-bench/kelvarin "$data" "bench-data/kelvarin.out" < bench-data/answers.txt; }
run_reference() { build-bench/bench/kelvarin-reference "$data" "bench-data/reference.out" < bench-data/answers.txt; }
run_floor() { wc -l "$data"; }

# Every run of kelvarin must write the same bytes.
run_kelvarin > /dev/null
cp bench-data/kelvarin.out bench-data/kelvarin.first
t_kelvarin=$(median run_kelvarin)
cmp -s bench-data/kelvarin.out bench-data/kelvarin.first || { echo "kelvarin's output changed between runs"; exit 1; }
t_reference=$(median run_reference)
t_floor=$(median run_floor)
# Peak resident set size (the "Maximum resident set size" of /usr/bin/time -v).
peak_kb=$( { /usr/bin/time -f '%M' build-bench/kelvarin "$data" bench-data/kelvarin.out < bench-data/answers.txt > /dev/null; } 2>&1 )

mb=$(echo "$bytes / 1000000" | bc -l)
printf 'file            %s: %.1f MB, %d years x %d stations, hourly to three-hourly\n' "$data" "$mb" "$years" "$stations"
printf 'kelvarin        %8.4f s  %7.1f MB/s  (median of %d)\n' "$t_kelvarin" "$(echo "$mb / $t_kelvarin" | bc -l)" "$runs"
printf 'reference loop  %8.4f s  %7.1f MB/s\n' "$t_reference" "$(echo "$mb / $t_reference" | bc -l)"
printf 'floor (wc -l)   %8.4f s  %7.1f MB/s\n' "$t_floor" "$(echo "$mb / $t_floor" | bc -l)"
printf 'kelvarin / reference  %6.3f (%.1f times faster)\n' "$(echo "$t_kelvarin / $t_reference" | bc -l)" \
  "$(echo "$t_reference / $t_kelvarin" | bc -l)"
printf 'kelvarin / floor      %6.1f times the floor\n' "$(echo "$t_kelvarin / $t_floor" | bc -l)"
printf 'peak resident memory  %d KiB\n' "$peak_kb"
echo "output identical across runs: yes"
