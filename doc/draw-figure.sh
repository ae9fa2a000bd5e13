#!/usr/bin/env bash
# Draws doc/relative-sunshine.png: one day (21 June 2023) of the hourly example for Berlin-Dahlem,
# the measured sunshine of each hour, sunrise and sunset of the program's sun model, and the
# relative sunshine kelvarin writes for each hour. Installs gnuplot when it is missing.
#
# Usage: doc/draw-figure.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh gnuplot-nox
cmake -S . -B build-doc -DKELVARIN_DOC_TOOLS=ON -DKELVARIN_TESTS=OFF >/dev/null
cmake --build build-doc -j "$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Hourly output, data stored in UTC, local time of the 15th meridian.
printf '52.5\n13.4\n60\n60\n60\n1\n15\n' |
  build-doc/kelvarin examples/berlin_hourly.txt "$work/hourly.txt" > /dev/null
read -r sunrise sunset < <(build-doc/doc/kelvarin-suntimes 21 6 52.5 13.4 15)
# Local end hour, measured hours (first station), relative sunshine: stored hour + 1 is local time.
paste <(awk 'NR > 5 && $3 == 21 {print $4 + 1, $5}' examples/berlin_hourly.txt) \
  <(awk -F '\t' 'NR > 5 && $3 == 21 {print $5}' "$work/hourly.txt") > "$work/day.txt"
gnuplot <<GNUPLOT
set terminal pngcairo size 900,480 font "DejaVu Sans,11"
set output "doc/relative-sunshine.png"
set title "Berlin-Dahlem, 21 June 2023: measured and relative sunshine duration per hour"
set xlabel "local time (hours; each bar and point stands in the middle of its hour)"
set ylabel "hours of sunshine / relative sunshine"
set xrange [0:24.5]
set yrange [0:1.3]
set xtics 0,2,24
set grid ytics
set key top center horizontal
set style fill solid 0.5 border -1
set boxwidth 0.8
set arrow from $sunrise, graph 0 to $sunrise, graph 1 nohead dashtype 2 linecolor rgb "#d08000"
set arrow from $sunset, graph 0 to $sunset, graph 1 nohead dashtype 2 linecolor rgb "#d08000"
set label sprintf("sunrise %.2f h", $sunrise) at $sunrise + 0.2, 1.05
set label sprintf("sunset %.2f h", $sunset) at $sunset + 0.2, 1.05
plot "$work/day.txt" using (\$1 - 0.5):2 with boxes linecolor rgb "#80a0d0" title "measured (hours in the hour)", \
     "$work/day.txt" using (\$1 - 0.5):3 with linespoints pointtype 7 linewidth 2 linecolor rgb "#c03030" title "relative sunshine (kelvarin)"
GNUPLOT
echo "wrote doc/relative-sunshine.png"
