#!/usr/bin/env bash
# kelvarin-prepare where a case folder cannot hold the input: a named pipe, a file name with a
# line break, and a network of many stations split into a file each.
set -u
prepare=$1
kelvarin=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
failed=0
fail() {
  echo "FAILED: $*"
  failed=1
}

# A refusal names its lines from the one read: a pipe is never opened a second time (that would
# wait for a writer forever).
mkfifo pipe.txt
printf 'STATIONS_ID;MESS_DATUM;QN_7;SD_SO;eor\n433;2023062101;3;5;eor\n433;2023062101;3;6;eor\n' \
  > pipe.txt &
timeout 20 "$prepare" pipe.txt > /dev/null 2> pipe.err
status=$?
wait
[ "$status" = 2 ] || fail "a pipe: status $status, expected 2"
grep -qF '(pipe.txt: line 2, pipe.txt: line 3)' pipe.err || fail "a pipe: $(cat pipe.err)"

# A line break in a file name must not end a header line: the station file keeps five.
name=$'two\nlines.txt'
printf 'STATIONS_ID;MESS_DATUM;QN_7;SD_SO;eor\n433;2023062101;3;5;eor\n433;2023062102;3;6;eor\n' \
  > "$name"
"$prepare" -o named.txt "$name" 2> named.err || fail "a line break in a name: $(cat named.err)"
head -n 1 named.txt | grep -qF 'two\nlines.txt' || fail "header line 1: $(head -n 1 named.txt)"
printf '60\n1\n60\n1\n15\n' > answers.txt
"$kelvarin" --latitude 52.5 --longitude 13.4 named.txt relative.txt < answers.txt > console.txt
grep -qx 'ready\.\.' console.txt || fail "kelvarin on a prepared file: $(cat console.txt)"

# 100,000 stations split into a file each, well within the time limit only when the work is linear
# in the stations (each file once numbered the whole network again: minutes at this size).
stations=100000
awk -v n=$stations 'BEGIN {
  print "time,station,minutes"
  for (s = 1; s <= n; s++) printf "2023-06-21 12:00,S%d,%d\n2023-06-21 13:00,S%d,%d\n", s, s % 61, s, (s + 7) % 61
}' > network.csv
timeout 120 "$prepare" --time time --station station --value minutes --split split network.csv \
  2> split.err || fail "split: $(head -c 300 split.err)"
files=$(find split -name '*.txt' | wc -l)
[ "$files" = "$stations" ] || fail "split: $files files, expected $stations"
sed -n 3p split/S99999.txt | grep -qx 'Stations: 99999 S99999' || fail "split/S99999.txt: $(head -n 3 split/S99999.txt)"
exit $failed
