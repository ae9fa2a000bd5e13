#!/usr/bin/env bash
# kelvarin-prepare's memory does not grow with the years where the values are read again: a
# generated archive of hourly files, 2 and then 20 years of each station, prepared with
# --memory 1; the peak resident size (the kernel's, of the finished process) may grow by little,
# while the values held would take ten times as much. Each station file must equal the one
# written from the values held, merged and split.
#   prepare_memory_test.sh PREPARE WORK
set -u
prepare=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
python=/usr/bin/python3
[ -x "$python" ] || python=python3
failed=0

# Writes STATIONS files of YEARS years of hourly rows in the German weather service's layout.
generate() {
  "$python" - "$1" "$2" "$3" << 'EOF'
import datetime, os, random, sys
years, stations, folder = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
os.makedirs(folder)
rng = random.Random(7)
for s in range(stations):
    ident = 400 + s
    day = datetime.date(2000, 1, 1) + datetime.timedelta(days=s)
    end = datetime.date(2000 + years, 1, 1)
    rows = ["STATIONS_ID;MESS_DATUM;QN_7;SD_SO;eor\n"]
    while day < end:
        stamp = day.strftime("%Y%m%d")
        for hour in range(24):
            if rng.randrange(5000) == 0:
                continue
            value = rng.randrange(61) if 4 <= hour <= 19 else 0
            rows.append("%11d;%s%02d;%5d;%4d;eor\n" % (ident, stamp, hour, 3, value))
        day += datetime.timedelta(days=1)
    with open("%s/produkt_sd_stunde_%d.txt" % (folder, ident), "w") as out:
        out.writelines(rows)
EOF
}

# Prints the peak resident size in KiB of kelvarin-prepare run with the arguments given.
peak_kib() {
  "$python" - "$prepare" "$@" << 'EOF'
import resource, subprocess, sys
done = subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
if done.returncode != 0:
    sys.exit("kelvarin-prepare failed with status %d" % done.returncode)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
EOF
}

for years in 2 20; do
  generate "$years" 20 "y$years" || exit 1
  held=$(peak_kib -o "held$years.txt" "y$years"/*.txt) || exit 1
  reread=$(peak_kib --memory 1 -o "reread$years.txt" "y$years"/*.txt) || exit 1
  split=$(peak_kib --memory 1 --split "split$years" "y$years"/*.txt) || exit 1
  peak_kib --split "heldsplit$years" "y$years"/*.txt > /dev/null || exit 1
  echo "$years years: held $held KiB, read again $reread KiB, split $split KiB"
  eval "held_$years=$held reread_$years=$reread split_$years=$split"
  if ! cmp -s "held$years.txt" "reread$years.txt" || ! diff -rq "heldsplit$years" "split$years"; then
    echo "$years years: the files read again differ from the ones written from the values held"
    failed=1
  fi
done
# With 64 files open at most, of the 20 files read side by side only 16 stay open: the others are
# closed and opened again in turn, the same files written; split, one station file at a time.
(
  ulimit -n 64
  "$prepare" --memory 0 -o few.txt y2/*.txt 2> /dev/null &&
    "$prepare" --memory 0 --split fewsplit y2/*.txt 2> /dev/null
) || { echo "with 64 files open at most: refused"; failed=1; }
if ! cmp -s held2.txt few.txt || ! diff -rq heldsplit2 fewsplit; then
  echo "with 64 files open at most: other files"
  failed=1
fi
# Rows far out of order make a stream of nearly each row: beyond a bound, the values are held
# after all, from a reading of their own, and the file is the same.
"$python" - << 'EOF'
import datetime
first = datetime.datetime(1990, 1, 1)
with open("produkt_sd_stunde_433.txt", "w") as out:
    out.write("STATIONS_ID;MESS_DATUM;QN_7;SD_SO;eor\n")
    for day in range(5000):
        for at in (day, day + 5000):
            stamp = (first + datetime.timedelta(hours=at)).strftime("%Y%m%d%H")
            out.write("%11d;%s;%5d;%4d;eor\n" % (433, stamp, 3, at % 60))
EOF
"$prepare" -o apart_held.txt produkt_sd_stunde_433.txt 2> /dev/null &&
  "$prepare" --memory 0 -o apart_reread.txt produkt_sd_stunde_433.txt 2> /dev/null ||
  { echo "rows far out of order: refused"; failed=1; }
if ! cmp -s apart_held.txt apart_reread.txt; then
  echo "rows far out of order: the files differ"
  failed=1
fi
# Twenty stations of 18 more years hold some 12 MiB more values; read again, a few MiB of
# stamps and lines at most.
for kind in reread split; do
  small=$((${kind}_2))
  large=$((${kind}_20))
  if [ "$large" -gt $((small + 4096)) ]; then
    echo "$kind: $large KiB for 20 years, $small KiB for 2: the memory grows with the years"
    failed=1
  fi
done
if [ "$held_20" -lt $((held_2 + 8192)) ]; then
  echo "held: $held_20 KiB for 20 years, $held_2 KiB for 2: the test no longer tells"
  failed=1
fi
exit $failed
