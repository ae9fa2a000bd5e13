#!/usr/bin/env bash
# The throughput table on eight shapes of real-looking data (see bench/shapes.cpp): for each,
# kelvarin and the fscanf/fprintf reference loop are run alternately RUNS times, and the table
# gives the medians, kelvarin's speed-up over the reference, its MB/s and its peak memory.
#
# Usage: bench/shapes.sh [RUNS] [SHAPES] [KELVARIN] [places|months|formats]
#        (default: 5 abcdefgh build-bench/kelvarin)
#        bench/shapes.sh [RUNS] [SHAPES] [KELVARIN] [models|horizons]
# KELVARIN may name another build of kelvarin, to measure it against the same reference. With
# "places", each shape is run instead with a places table (--places) drawn over 47-55 N and 6-15 E
# and with one drawn over the world, alternated with the same file at one place, and the table
# gives the times, their ratios to the one place and the peak memory.
# With "months", each shape is run with daily output steps and with calendar months alternately,
# and the table gives both times, their ratio and the peak memory of the month run.
# With "formats", each shape is written as the table, as CSV and as NetCDF alternately, and the
# table gives the medians of the wall and of the processor time of each, their ratios to the
# table, the peak memory of the NetCDF run and the three sizes (outputs in KELVARIN_BENCH_OUT).
# With "models", each shape is run with the classic model, --sun-model fao56 and --sun-model noaa
# alternately, at one place and with the region's places table, and the table gives the medians
# and each model's ratio to the classic run of the same kind.
# With "horizons", a network of the first 1,000 columns of the shape (repeated where it has fewer),
# placed over the region, is run with FAO-56's day without and with --horizon (smooth skylines of
# 48 azimuths, 0 to 20 degrees, drawn the same every time) alternately, and the table gives both
# medians, their ratio and the peak memory of the horizon run.
# Builds into build-bench/ and writes its files into bench-data/ (both ignored by git).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
shapes=${2:-abcdefgh}
bash tools/install-deps.sh libbenchmark-dev time bc
cmake -S . -B build-bench -DKELVARIN_BENCH=ON -DKELVARIN_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j "$(nproc)" >/dev/null
kelvarin=${3:-build-bench/kelvarin}
reference=build-bench/bench/kelvarin-reference
mkdir -p bench-data

source bench/shape_answers.sh

source bench/timing.sh

# Sets data and answers to the file of SHAPE (written when missing) and its answers.
prepare_shape() {
  data="bench-data/shape_$1.txt"
  [ -f "$data" ] || build-bench/bench/kelvarin-shapes "$1" "$data"
  answers="bench-data/shape_$1.answers"
  answers_for "$1" | tr ' ' '\n' > "$answers"
}

# Writes a places table for the stations of header line 2 of FILE: latitudes from LAT0 to LAT1,
# longitudes from LON0 to LON1, the same draw every time.
write_places() {
  sed -n 2p "$1" | awk -v lat0="$2" -v lat1="$3" -v lon0="$4" -v lon1="$5" '{
    srand(42); print "station;latitude;longitude"
    for (i = 5; i <= NF; i++) printf "%s;%.4f;%.4f\n", $i, lat0 + rand() * (lat1 - lat0), lon0 + rand() * (lon1 - lon0)
  }'
}

if [ "${4:-}" = places ]; then
  printf '%-6s %10s %10s %7s %10s %7s %10s\n' shape "one place" region ratio world ratio "peak RSS"
  for shape in $(echo "$shapes" | grep -o .); do
    prepare_shape "$shape"
    tail -n +3 "$answers" > "$answers.places"  # latitude and longitude come from the table
    write_places "$data" 47 55 6 15 > bench-data/places_region.csv
    write_places "$data" -66 66 -180 180 > bench-data/places_world.csv
    cat "$data" > /dev/null
    one=() region=() world=()
    for _ in $(seq "$runs"); do
      one+=("$(time_run "$kelvarin" "$data" bench-data/shape.out "$answers")")
      region+=("$(time_run_places "$kelvarin" bench-data/places_region.csv "$data" bench-data/shape.out "$answers.places")")
      world+=("$(time_run_places "$kelvarin" bench-data/places_world.csv "$data" bench-data/shape.out "$answers.places")")
    done
    peak=$( { /usr/bin/time -f '%M' "$kelvarin" --places bench-data/places_world.csv "$data" \
      bench-data/shape.out < "$answers.places" > /dev/null; } 2>&1 )
    t1=$(median "${one[@]}"); tr_=$(median "${region[@]}"); tw=$(median "${world[@]}")
    printf '%-6s %9.4fs %9.4fs %6.2fx %9.4fs %6.2fx %6.1f MiB\n' "$shape" "$(echo "$t1 / 1000000" | bc -l)" \
      "$(echo "$tr_ / 1000000" | bc -l)" "$(echo "$tr_ / $t1" | bc -l)" \
      "$(echo "$tw / 1000000" | bc -l)" "$(echo "$tw / $t1" | bc -l)" "$(echo "$peak / 1024" | bc -l)"
  done
  exit 0
fi

if [ "${4:-}" = models ]; then
  printf '%-6s %-7s %10s %10s %7s %10s %7s\n' shape places classic fao56 ratio noaa ratio
  for shape in $(echo "$shapes" | grep -o .); do
    prepare_shape "$shape"
    tail -n +3 "$answers" > "$answers.places"
    write_places "$data" 47 55 6 15 > bench-data/places_region.csv
    cat "$data" > /dev/null
    for kind in one region; do
      classic=() fao=() noaa=()
      if [ "$kind" = one ]; then
        place=() kind_answers=$answers
      else
        place=(--places bench-data/places_region.csv) kind_answers=$answers.places
      fi
      for _ in $(seq "$runs"); do
        classic+=("$(time_command "$kind_answers" "$kelvarin" "${place[@]}" "$data" bench-data/shape.out)")
        fao+=("$(time_command "$kind_answers" "$kelvarin" --sun-model fao56 "${place[@]}" "$data" bench-data/shape.out)")
        noaa+=("$(time_command "$kind_answers" "$kelvarin" --sun-model noaa "${place[@]}" "$data" bench-data/shape.out)")
      done
      tc=$(median "${classic[@]}"); tf=$(median "${fao[@]}"); tn=$(median "${noaa[@]}")
      printf '%-6s %-7s %9.4fs %9.4fs %6.2fx %9.4fs %6.2fx\n' "$shape" "$kind" \
        "$(echo "$tc / 1000000" | bc -l)" "$(echo "$tf / 1000000" | bc -l)" "$(echo "$tf / $tc" | bc -l)" \
        "$(echo "$tn / 1000000" | bc -l)" "$(echo "$tn / $tc" | bc -l)"
    done
  done
  exit 0
fi

if [ "${4:-}" = horizons ]; then
  printf '%-6s %10s %10s %7s %10s\n' shape flat horizon ratio "peak RSS"
  for shape in $(echo "$shapes" | grep -o .); do
    prepare_shape "$shape"
    network=bench-data/network_$shape.txt
    # The first 1,000 columns, the shape's columns repeated where it has fewer.
    awk 'NR == 2 { printf "YYYY MM DD H"; for (i = 0; i < 1000; i++) printf " %d", 10000 + i; print ""; next }
      NR <= 5 { print; next }
      { printf "%s %s %s %s", $1, $2, $3, $4; n = NF - 4
        for (i = 0; i < 1000; i++) printf " %s", $(5 + i % n); print "" }' "$data" > "$network"
    write_places "$network" 47 55 6 15 > bench-data/places_network.csv
    sed -n 2p "$network" | awk '{ srand(7); print "station;azimuth;elevation"
      for (s = 5; s <= NF; s++) {
        b = rand() * 6; a1 = rand() * 5; p1 = rand() * 6.2832; a2 = rand() * 3; p2 = rand() * 6.2832
        a3 = rand() * 1.5; p3 = rand() * 6.2832
        for (k = 0; k < 48; k++) {
          r = k * 7.5 * 3.14159265 / 180
          e = b + a1 * sin(r + p1) + a2 * sin(2 * r + p2) + a3 * sin(3 * r + p3)
          printf "%s;%.1f;%.2f\n", $s, k * 7.5, e < 0 ? 0 : e } } }' > bench-data/horizons_network.csv
    tail -n +3 "$answers" > "$answers.places"
    cat "$network" > /dev/null
    flat=() skyline=()
    for _ in $(seq "$runs"); do
      flat+=("$(time_command "$answers.places" "$kelvarin" --sun-model fao56 --places bench-data/places_network.csv "$network" bench-data/shape.out)")
      skyline+=("$(time_command "$answers.places" "$kelvarin" --sun-model fao56 --places bench-data/places_network.csv --horizon bench-data/horizons_network.csv "$network" bench-data/shape.out)")
    done
    peak=$( { /usr/bin/time -f '%M' "$kelvarin" --sun-model fao56 --places bench-data/places_network.csv \
      --horizon bench-data/horizons_network.csv "$network" bench-data/shape.out < "$answers.places" > /dev/null; } 2>&1 )
    tf=$(median "${flat[@]}"); th=$(median "${skyline[@]}")
    printf '%-6s %9.4fs %9.4fs %6.2fx %6.1f MiB\n' "$shape" "$(echo "$tf / 1000000" | bc -l)" \
      "$(echo "$th / 1000000" | bc -l)" "$(echo "$th / $tf" | bc -l)" "$(echo "$peak / 1024" | bc -l)"
    rm -f "$network"
  done
  exit 0
fi

if [ "${4:-}" = formats ]; then
  # Wall time and processor time (user and system) of each layout; the outputs go to
  # KELVARIN_BENCH_OUT (default bench-data), so that a RAM disk can take the device out of it.
  out=${KELVARIN_BENCH_OUT:-bench-data}
  timed=build-bench/bench/kelvarin-timed
  printf '%-6s %-9s %10s %10s %7s %10s %7s\n' shape time table csv ratio netcdf ratio
  for shape in $(echo "$shapes" | grep -o .); do
    prepare_shape "$shape"
    cat "$data" > /dev/null
    : > "$out/table.times"; : > "$out/csv.times"; : > "$out/netcdf.times"
    for _ in $(seq "$runs"); do
      "$timed" "$answers" "$kelvarin" "$data" "$out/shape.out" >> "$out/table.times"
      "$timed" "$answers" "$kelvarin" --format csv "$data" "$out/shape.csv" >> "$out/csv.times"
      "$timed" "$answers" "$kelvarin" --format netcdf "$data" "$out/shape.nc" >> "$out/netcdf.times"
    done
    for field in 1 2; do
      tt=$(median $(cut -d' ' -f"$field" "$out/table.times"))
      tc=$(median $(cut -d' ' -f"$field" "$out/csv.times"))
      tn=$(median $(cut -d' ' -f"$field" "$out/netcdf.times"))
      kind=$([ "$field" = 1 ] && echo wall || echo processor)
      printf '%-6s %-9s %9.4fs %9.4fs %6.2fx %9.4fs %6.2fx\n' "$shape" "$kind" \
        "$(echo "$tt / 1000000" | bc -l)" "$(echo "$tc / 1000000" | bc -l)" \
        "$(echo "$tc / $tt" | bc -l)" "$(echo "$tn / 1000000" | bc -l)" "$(echo "$tn / $tt" | bc -l)"
    done
    peak=$( { /usr/bin/time -f '%M' "$kelvarin" --format netcdf "$data" "$out/shape.nc" \
      < "$answers" > /dev/null; } 2>&1 )
    printf '%-6s peak RSS of the NetCDF run %.1f MiB; sizes: %s\n' "$shape" "$(echo "$peak / 1024" | bc -l)" \
      "$(du -h --apparent-size "$out/shape.out" "$out/shape.csv" "$out/shape.nc" | awk '{printf "%s ", $1}')"
    rm -f "$out/shape.out" "$out/shape.csv" "$out/shape.nc" "$out"/*.times
  done
  exit 0
fi

if [ "${4:-}" = months ]; then
  printf '%-6s %10s %10s %7s %10s\n' shape daily month ratio "peak RSS"
  for shape in $(echo "$shapes" | grep -o .); do
    prepare_shape "$shape"
    sed '5s/.*/1440/' "$answers" > "$answers.daily"
    sed '5s/.*/month/' "$answers" > "$answers.month"
    cat "$data" > /dev/null
    daily=() month=()
    for _ in $(seq "$runs"); do
      daily+=("$(time_run "$kelvarin" "$data" bench-data/shape.out "$answers.daily")")
      month+=("$(time_run "$kelvarin" "$data" bench-data/shape.out "$answers.month")")
    done
    peak=$( { /usr/bin/time -f '%M' "$kelvarin" "$data" bench-data/shape.out < "$answers.month" \
      > /dev/null; } 2>&1 )
    td=$(median "${daily[@]}"); tm=$(median "${month[@]}")
    printf '%-6s %9.4fs %9.4fs %6.2fx %6.1f MiB\n' "$shape" "$(echo "$td / 1000000" | bc -l)" \
      "$(echo "$tm / 1000000" | bc -l)" "$(echo "$tm / $td" | bc -l)" "$(echo "$peak / 1024" | bc -l)"
  done
  exit 0
fi

printf '%-6s %8s %10s %10s %9s %9s %10s\n' shape MB kelvarin reference speed-up MB/s "peak RSS"
for shape in $(echo "$shapes" | grep -o .); do
  prepare_shape "$shape"
  cat "$data" > /dev/null
  k=()
  r=()
  for _ in $(seq "$runs"); do
    k+=("$(time_run "$kelvarin" "$data" bench-data/shape.out "$answers")")
    r+=("$(time_run "$reference" "$data" bench-data/shape.ref "$answers")")
  done
  peak=$( { /usr/bin/time -f '%M' "$kelvarin" "$data" bench-data/shape.out < "$answers" > /dev/null; } 2>&1 )
  mb=$(echo "$(stat -c %s "$data") / 1000000" | bc -l)
  tk=$(median "${k[@]}")
  tr_=$(median "${r[@]}")
  printf '%-6s %8.1f %9.4fs %9.4fs %8.1fx %9.0f %7.1f MiB\n' "$shape" "$mb" \
    "$(echo "$tk / 1000000" | bc -l)" "$(echo "$tr_ / 1000000" | bc -l)" \
    "$(echo "$tr_ / $tk" | bc -l)" "$(echo "$mb / ($tk / 1000000)" | bc -l)" \
    "$(echo "$peak / 1024" | bc -l)"
done
