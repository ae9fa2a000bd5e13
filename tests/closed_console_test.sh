#!/usr/bin/env bash
# A console reader that stops reading early (`| head`) must not cut the run short: the output file
# is the same as with a console read to its end, and the exit status is 0.
set -u
program=$1
examples=$2
work=$3
mkdir -p "$work"
# Three years of hourly data: enough progress lines to outlive the reader.
head -n 5 "$examples/berlin_hourly.txt" > "$work/input.txt"
awk 'BEGIN { for (d = 0; d < 1095; ++d) for (h = 1; h <= 24; ++h)
       printf "%d %d %d %d 0.5 0.25 1\n", 2000 + int(d / 365), 1 + int((d % 365) / 31) % 12,
              1 + d % 28, h }' >> "$work/input.txt"
"$program" "$work/input.txt" "$work/expected.txt" < "$examples/berlin_hourly.daily.answers" \
  > /dev/null
rm -f "$work/output.txt"
"$program" "$work/input.txt" "$work/output.txt" < "$examples/berlin_hourly.daily.answers" |
  head -c 1 > /dev/null
status=${PIPESTATUS[0]}
[ "$status" -eq 0 ] || { echo "exit status $status with the console closed early"; exit 1; }
cmp "$work/output.txt" "$work/expected.txt"
