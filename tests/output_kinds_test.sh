#!/usr/bin/env bash
# Each kind of output name, for the table, CSV and NetCDF: a link to a file in another folder, a
# dangling link, a FIFO read by another process, a character device (a private node of the null
# device, made here where the user may), a folder, a
# read-only folder (where the user is not root), a file system that fills (a file-size limit
# whose signal kelvarin ignores itself), SIGINT and SIGTERM part way, and zero station columns.
# Never the machine's own /dev/stdout or /dev/null: a faulty build would replace them.
#   output_kinds_test.sh KELVARIN EXAMPLES WORK
set -u
kelvarin=$1
examples=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
cp "$examples/berlin_hourly.txt" .
failed=0
fail() { echo "FAILED: $*"; failed=1; }
hourly=(--quiet --latitude 52.5 --longitude 13.4 --input-step 60 --input-unit 60 --time-shift 1
  --meridian 15 --output-step 60)
layouts=(table csv netcdf)
no_temporary() { ls -a "$@" | grep -q 'kelvarin-' && fail "a temporary file was left: $(ls -a "$@")"; }

# A station file long enough that a signal meets the run part way: many stations, many days.
awk 'BEGIN {
  printf "long\nYYYY MM DD H"; for (s = 1; s <= 400; s++) printf " %d", 1000 + s; print ""
  print "3\n4\n5"
  for (d = 0; d < 1500; d++) for (h = 1; h <= 24; h++) {
    printf "%d %d %d %d", 2000 + int(d / 365), 1 + int((d % 365) / 31) % 12, 1 + d % 28, h
    for (s = 1; s <= 400; s++) printf " %.1f", (h > 6 && h < 20) ? 0.5 : 0
    print ""
  }
}' > long.txt

for layout in "${layouts[@]}"; do
  # A link to a file in another folder: that file gets the results, the link stays.
  mkdir -p shared_$layout
  echo "earlier" > shared_$layout/results
  ln -sf shared_$layout/results link.$layout
  "$kelvarin" "${hourly[@]}" --format $layout berlin_hourly.txt link.$layout > link.log ||
    fail "$layout link: status"
  [ -L link.$layout ] || fail "$layout link: the link was replaced"
  [ "$(head -c 7 shared_$layout/results)" != "earlier" ] || fail "$layout link: target unchanged"
  no_temporary . shared_$layout

  # A dangling link: the file it names is made.
  ln -sf shared_$layout/made dangling.$layout
  "$kelvarin" "${hourly[@]}" --format $layout berlin_hourly.txt dangling.$layout > dangling.log ||
    fail "$layout dangling link: status"
  [ -L dangling.$layout ] && [ -s shared_$layout/made ] || fail "$layout dangling link: no file"

  # A new file gets the mode the umask gives; an existing one keeps its own.
  (umask 027 && "$kelvarin" "${hourly[@]}" --format $layout berlin_hourly.txt mode.$layout) > /dev/null
  [ "$(stat -c %a mode.$layout)" = 640 ] || fail "$layout new file mode $(stat -c %a mode.$layout)"
  chmod 604 mode.$layout
  "$kelvarin" "${hourly[@]}" --format $layout berlin_hourly.txt mode.$layout > /dev/null
  [ "$(stat -c %a mode.$layout)" = 604 ] || fail "$layout kept mode $(stat -c %a mode.$layout)"

  # A folder: refused before any question, as "error opening file".
  mkdir -p folder.$layout
  "$kelvarin" --quiet --format $layout berlin_hourly.txt folder.$layout < /dev/null > folder.log
  [ $? = 2 ] && grep -q "^error opening file folder.$layout" folder.log ||
    fail "$layout folder: $(cat folder.log)"
  grep -q 'latitude' folder.log && fail "$layout folder: asked the answers first"

  # A character device of the test's own.
  if [ -c null ] || mknod null c 1 3 2> /dev/null; then
    "$kelvarin" "${hourly[@]}" --format $layout berlin_hourly.txt null > device.log
    status=$?
    if [ $layout = netcdf ]; then
      [ $status = 2 ] && grep -q 'error opening file null (a pipe, a device or a descriptor' device.log ||
        fail "netcdf device: status $status, $(cat device.log)"
    else
      [ $status = 0 ] || fail "$layout device: status $status, $(cat device.log)"
    fi
    [ -c null ] || fail "$layout device: replaced by a file"
    rm -f null
  fi

  # A FIFO with a reader: the reader gets every line, nothing hangs. NetCDF refuses it before
  # opening it, so it gets no reader, which would wait for a writer that never comes.
  rm -f fifo.$layout
  mkfifo fifo.$layout
  if [ $layout != netcdf ]; then
    timeout 20 cat fifo.$layout > from_fifo.$layout 2> /dev/null < /dev/null &
    reader=$!
  fi
  timeout 20 "$kelvarin" "${hourly[@]}" --format $layout berlin_hourly.txt fifo.$layout > fifo.log
  status=$?
  if [ $layout = netcdf ]; then
    [ $status = 2 ] && grep -q 'needs a file it can seek in' fifo.log || fail "netcdf fifo: $status"
  else
    wait $reader
    [ $status = 0 ] || fail "$layout fifo: status $status"
    "$kelvarin" "${hourly[@]}" --format $layout berlin_hourly.txt plain.$layout > /dev/null
    cmp -s from_fifo.$layout plain.$layout || fail "$layout fifo: the reader got other lines"
  fi
  [ -p fifo.$layout ] || fail "$layout fifo: replaced by a file"

  # A descriptor of the process, as /dev/stdout is one: written through, even where it holds a
  # regular file; NetCDF refuses it.
  ln -sf /proc/self/fd/3 descriptor.$layout
  rm -f through_descriptor.$layout
  "$kelvarin" "${hourly[@]}" --format $layout berlin_hourly.txt descriptor.$layout \
    3> through_descriptor.$layout > descriptor.log
  status=$?
  [ -L descriptor.$layout ] || fail "$layout descriptor: the link was replaced"
  if [ $layout = netcdf ]; then
    [ $status = 2 ] || fail "netcdf descriptor: status $status"
  else
    [ $status = 0 ] && cmp -s through_descriptor.$layout plain.$layout ||
      fail "$layout descriptor: status $status, other lines"
  fi

  # A file system that fills part way: complete lines of the table, the earlier CSV and NetCDF
  # file kept, status 2 and the message.
  echo "earlier" > full.$layout
  (ulimit -f 200 && "$kelvarin" "${hourly[@]}" --output-step 1440 --input-step 60 --format $layout \
    long.txt full.$layout > full.log)
  status=$?
  [ $status = 2 ] && grep -q "error writing file full.$layout" full.log ||
    fail "$layout full: status $status, $(cat full.log)"
  if [ $layout = table ]; then
    [ "$(tail -c 1 full.table | od -An -c | tr -d ' ')" = '\n' ] || fail "table full: a cut line"
    [ "$(tail -n +6 full.table | awk -F'\t' '{print NF}' | sort -u)" = 404 ] ||
      fail "table full: lines of another length"
  else
    [ "$(cat full.$layout)" = earlier ] || fail "$layout full: the earlier file changed"
  fi
  no_temporary .

  # SIGINT and SIGTERM part way: the earlier file kept, no temporary, ended by the signal.
  for signal in INT TERM; do
    echo "earlier" > signal.$layout
    "$kelvarin" "${hourly[@]}" --output-step 1440 --format $layout long.txt signal.$layout \
      > /dev/null &
    run=$!
    sleep 0.05
    kill -$signal $run 2> /dev/null
    wait $run
    status=$?
    [ $status = 130 ] || [ $status = 143 ] || [ $status = 0 ] || fail "$layout $signal: $status"
    if [ $status != 0 ]; then
      if [ $layout = table ]; then
        [ ! -s signal.table ] || [ "$(tail -c 1 signal.table | od -An -c | tr -d ' ')" = '\n' ] ||
          fail "table $signal: a cut line"
      else
        [ "$(cat signal.$layout)" = earlier ] || fail "$layout $signal: the earlier file changed"
      fi
    fi
    no_temporary .
  done

  # Zero station columns: the table and CSV hold no values, NetCDF refuses in kelvarin's words.
  printf 'none\nYYYY MM DD H\n3\n4\n5\n2023 6 20 1\n' > zero.txt
  "$kelvarin" "${hourly[@]}" --format $layout zero.txt zero.$layout > zero.log
  status=$?
  if [ $layout = netcdf ]; then
    [ $status = 2 ] && grep -q 'no station columns: a NetCDF file cannot hold' zero.log ||
      fail "netcdf zero columns: $status $(cat zero.log)"
    grep -q 'NC_' zero.log && fail "netcdf zero columns: the library's internal words"
  else
    [ $status = 0 ] || fail "$layout zero columns: $status $(cat zero.log)"
  fi
done

# A read-only folder: a file there is refused before the dialogue for the layouts that replace
# it whole. Root writes anywhere, so only another user can see it.
if [ "$(id -u)" != 0 ]; then
  mkdir -p locked && echo earlier > locked/out.csv && chmod 555 locked
  "$kelvarin" --quiet --format csv berlin_hourly.txt locked/out.csv < /dev/null > locked.log
  [ $? = 2 ] && grep -q 'its folder is not writable' locked.log || fail "read-only folder"
  chmod 755 locked
fi
exit $failed
