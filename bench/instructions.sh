#!/usr/bin/env bash
# Instructions (callgrind) of two kelvarin builds on a cut of each shape: repeatable where the
# machine's noise hides a few per cent of wall time. Prints each shape's two counts and their
# ratio, new over old.
#
# Usage: bench/instructions.sh OLD NEW [SHAPES] [places|month] [CUT_BYTES]
#        (default: abcdefgh, one place, 8000000 bytes of each shape's file)
# KELVARIN_NEW_ARGS gives NEW options of its own, such as "--sun-model fao56" to weigh a model
# against the classic run of the same build.
set -euo pipefail
cd "$(dirname "$0")/.."
old=$1
new=$2
shapes=${3:-abcdefgh}
variant=${4:-}
cut_bytes=${5:-8000000}
bash tools/install-deps.sh valgrind
mkdir -p bench-data
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

source bench/shape_answers.sh

# Prints the instructions of PROGRAM on the cut with the run's arguments and answers.
count() {
  local program=$1
  shift
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$program" "$@" "${args[@]}" "$cut" \
    "$work/out" < "$answers" 2>&1 > /dev/null | sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}

for shape in $(echo "$shapes" | grep -o .); do
  data=bench-data/shape_$shape.txt
  [ -f "$data" ] || build-bench/bench/kelvarin-shapes "$shape" "$data"
  cut=$work/cut_$shape.txt
  head -c "$cut_bytes" "$data" | head -n -1 > "$cut"
  answers=$work/answers
  args=()
  case $variant in
    places)
      # The region draw of bench/shapes.sh: 47-55 N, 6-15 E.
      sed -n 2p "$data" | awk '{ srand(42); print "station;latitude;longitude"
        for (i = 5; i <= NF; i++) printf "%s;%.4f;%.4f\n", $i, 47 + rand() * 8, 6 + rand() * 9 }' \
        > "$work/places.csv"
      answers_for "$shape" | tr ' ' '\n' | tail -n +3 > "$answers"
      args=(--places "$work/places.csv")
      ;;
    month) answers_for "$shape" | tr ' ' '\n' | sed '5s/.*/month/' > "$answers" ;;
    *) answers_for "$shape" | tr ' ' '\n' > "$answers" ;;
  esac
  a=$(count "$old")
  # shellcheck disable=SC2086  # the options are words
  b=$(count "$new" ${KELVARIN_NEW_ARGS:-})
  awk -v s="$shape" -v a="$a" -v b="$b" 'BEGIN { printf "%s %12.0f %12.0f %7.4f\n", s, a, b, b / a }'
done
