#!/usr/bin/env bash
# From each archive's files, as downloaded, to relative sunshine in the two commands the README
# shows: kelvarin-prepare with the archive's station list, then the kelvarin command that its
# summary prints, run as printed. The run must be clean (no warning), its results those of
# tests/archives/SOURCE.expected, and every column equal to a run over that station alone at
# the place of its row in the places table.
#   archives_test.sh PREPARE KELVARIN EXAMPLES EXPECTED WORK [SOURCE...]
# PREPARE_OPTIONS, where set, are given to kelvarin-prepare too ("--memory 0": every value read
# again from the files as the station file is written, the same results).
set -u
read -r -a prepare_options <<< "${PREPARE_OPTIONS:-}"
prepare=$1
kelvarin=$2
examples=$3
expected=$4
work=$5
shift 5
sources=("$@")
if [ ${#sources[@]} -eq 0 ]; then
  mapfile -t sources < <(ls "$examples")
fi
failed=0
fail() {
  echo "$source: $*"
  failed=1
}

# Keeps the four stamp fields and column K of a station file (header lines 2 and 3 too).
one_column() {
  awk -v k="$1" 'NR == 2 { print $1, $2, $3, $4, $(4 + k); next }
                 NR == 3 || NR == 1 || NR == 4 || NR == 5 { print; next }
                 { print $1, $2, $3, $4, $(4 + k) }' "$2"
}

for source in "${sources[@]}"; do
  dir=$work/$source
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$examples/$source"/* "$dir/"
  cd "$dir" || exit 1
  files=(*)
  if ! "$prepare" "${prepare_options[@]}" -o network.txt --places places.txt "${files[@]}" \
    2> summary.txt; then
    fail "kelvarin-prepare failed: $(cat summary.txt)"
    continue
  fi
  command=$(tail -n 1 summary.txt)
  case $command in
    "kelvarin "*) ;;
    *) fail "the summary does not end with a kelvarin command: $command"; continue ;;
  esac
  if grep -qE 'LAT|UNIT|SHIFT|MERIDIAN|STATION_FILE' <<< "$command"; then
    fail "the command still holds a word to replace: $command"
  fi
  eval "\"\$kelvarin\" ${command#kelvarin }" > console.txt
  status=$?
  [ $status = 0 ] || fail "kelvarin ended with status $status: $(tail -n 3 console.txt)"
  if grep -q '^warning: ' console.txt; then
    fail "warnings on clean data: $(grep '^warning: ' console.txt)"
  fi
  if ! cmp -s relative.txt "$expected/$source.expected"; then
    fail "relative.txt differs from $source.expected:"
    diff "$expected/$source.expected" relative.txt | head -n 10
  fi
  # Each column alone, at the place of its row.
  options=$(sed -e 's/^kelvarin //' -e 's/--places places.txt //' -e 's/ network.txt relative.txt$//' <<< "$command")
  columns=$(awk 'NR == 2 { print NF - 4 }' network.txt)
  for k in $(seq 1 "$columns"); do
    number=$(awk -v k="$k" 'NR == 2 { print $(4 + k) }' network.txt)
    place=$(awk -F';' -v n="$number" '$1 == n { print "--latitude " $2 " --longitude " $3 }' places.txt)
    one_column "$k" network.txt > alone.txt
    # shellcheck disable=SC2086 # the options are words
    "$kelvarin" --quiet $place $options alone.txt alone_relative.txt > alone_console.txt
    if ! diff <(awk -v k="$k" 'NR > 5 { print $(4 + k) }' relative.txt) \
      <(awk 'NR > 5 { print $5 }' alone_relative.txt) > /dev/null; then
      fail "column $k (station $number) differs from the station run alone at its place"
    fi
  done
done
exit $failed
