#!/usr/bin/env bash
# Prepares the shipped files of the German weather service's layout and runs kelvarin on the
# result: the prepared file must run clean, without a single warning.
set -eu
prepare=$1
kelvarin=$2
examples=$3
work=$4
rm -rf "$work"
mkdir -p "$work"
"$prepare" -o "$work/berlin.txt" "$examples"/dwd/produkt_sd_stunde_*.txt 2> "$work/summary.txt"
grep -q "2 stations" "$work/summary.txt"
"$kelvarin" --missing -999 --latitude 52.5 --longitude 13.4 --input-step 60 --input-unit 1 --output-step 60 \
  --time-shift 1 --meridian 15 "$work/berlin.txt" "$work/relative.txt" > "$work/console.txt"
if grep -q '^warning: ' "$work/console.txt"; then
  echo "warnings on a prepared file:"
  grep '^warning: ' "$work/console.txt"
  exit 1
fi
tail -n 1 "$work/console.txt" | grep -qx 'ready\.\.'
