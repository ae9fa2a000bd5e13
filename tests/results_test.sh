#!/usr/bin/env bash
# The CSV and NetCDF layouts, end to end: runs of the shipped examples, a network with places of
# its own, missing values and calendar months are read back by pandas and netCDF4 and checked
# against the table run of the same file; a run that fails part way, a file system that fills,
# an output that cannot be created and an output that is the input leave no file behind and keep
# the input.
#   results_test.sh KELVARIN SOURCE_DIR WORK
set -u
kelvarin=$1
source_dir=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
cp "$source_dir"/examples/*.txt .
failed=0
fail() { echo "FAILED: $*"; failed=1; }

# Runs the three layouts of one command line and checks them.
check_layouts() {
  local name=$1 places=$2
  shift 2
  "$kelvarin" --quiet "$@" "$name.table" > "$name.table.log" || fail "$name: table run"
  "$kelvarin" --quiet --format csv "$@" "$name.csv" > "$name.csv.log" || fail "$name: csv run"
  "$kelvarin" --quiet --format netcdf "$@" "$name.nc" > "$name.nc.log" || fail "$name: netcdf run"
  ncdump -h "$name.nc" | grep -q 'featureType = "timeSeries"' || fail "$name: ncdump -h"
  /usr/bin/python3 "$source_dir/tests/results_check.py" "$name.table" "$name.csv" "$name.nc" \
    $places || fail "$name: read back"
}

berlin=(--latitude 52.5 --longitude 13.4 --input-step 60 --input-unit 60 --time-shift 1
  --meridian 15)
check_layouts hourly "" "${berlin[@]}" --output-step 180 berlin_hourly.txt
check_layouts daily "" "${berlin[@]}" --output-step 1440 berlin_hourly.txt
potsdam=(--missing -999 --latitude 52.4 --longitude 13.1 --input-step 1440 --input-unit 60
  --time-shift 0 --meridian 15)
check_layouts potsdam_days "" "${potsdam[@]}" --output-step 1440 potsdam_daily.txt
check_layouts potsdam_month "" "${potsdam[@]}" --coverage 0.9 --output-step month potsdam_daily.txt
check_layouts potsdam_missing_month "" "${potsdam[@]}" --output-step month potsdam_daily.txt

# A network, each station at its own place.
printf 'station;latitude;longitude\n10379;52.38;13.06\n10393;52.21;14.12\n' > places.csv
check_layouts network places.csv --places places.csv --missing -999 --input-step 1440 \
  --input-unit 60 --output-step 1440 --time-shift 0 --meridian 15 potsdam_daily.txt

# Hourly steps at places on three continents: columns in the night beside columns in daylight.
printf 'station;latitude;longitude\n10381;52.5;13.4\n10382;-30;150\n10384;60;-100\n' > world_places.csv
check_layouts world world_places.csv --places world_places.csv --input-step 60 --input-unit 60 --output-step 60 \
  --time-shift 1 --meridian 15 berlin_hourly.txt

# A run that fails part way: an error, and neither the output nor a temporary file.
{ head -n 20 berlin_hourly.txt; echo "2023 6 21 x 0.5"; } > broken.txt
for format in csv netcdf; do
  echo "an earlier result" > broken.$format
  "$kelvarin" --quiet --format $format "${berlin[@]}" --output-step 60 broken.txt broken.$format \
    > broken.log
  [ $? = 2 ] || fail "broken $format: status"
  grep -q 'error reading input file: line 21' broken.log || fail "broken $format: message"
  [ "$(cat broken.$format)" = "an earlier result" ] || fail "broken $format: the earlier file changed"
done
ls -a | grep -q 'kelvarin-' && fail "a temporary file was left: $(ls -a | grep kelvarin-)"

# A file system that fills part way (a file size limit, whose signal is ignored so that the write
# fails as on a full disk): an error, the earlier file kept, no temporary file.
for format in csv netcdf; do
  echo "an earlier result" > full.$format
  (
    ulimit -f 4
    trap '' XFSZ
    "$kelvarin" --quiet --format $format "${berlin[@]}" --output-step 60 berlin_hourly.txt \
      full.$format > full.log
  )
  [ $? = 2 ] || fail "full $format: status"
  grep -q "error writing file full.$format" full.log || fail "full $format: message"
  [ "$(cat full.$format)" = "an earlier result" ] || fail "full $format: the earlier file changed"
done
ls -a | grep -q 'kelvarin-' && fail "a temporary file was left: $(ls -a | grep kelvarin-)"

# An output that cannot be created; an output that is the input.
"$kelvarin" --quiet --format csv "${berlin[@]}" --output-step 60 berlin_hourly.txt no/such.csv \
  > nofolder.log
[ $? = 2 ] && grep -q 'error opening file no/such.csv' nofolder.log || fail "missing folder"
cp berlin_hourly.txt same.txt
"$kelvarin" --quiet --format netcdf "${berlin[@]}" --output-step 60 same.txt same.txt > same.log
[ $? = 2 ] && grep -q '(it is the input file)' same.log || fail "same file: refusal"
cmp -s same.txt berlin_hourly.txt || fail "same file: the input changed"
ls -a | grep -q 'kelvarin-' && fail "a temporary file was left: $(ls -a | grep kelvarin-)"
exit $failed
