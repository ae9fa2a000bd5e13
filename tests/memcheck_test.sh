#!/usr/bin/env bash
# Runs kelvarin under valgrind's memcheck on a normal run and on a run stopped by a bad record:
# neither may leak or touch memory it should not.
set -u
program=$1
cases=$2
work=$3
mkdir -p "$work"
for name in worked_example_21_june value_not_a_number header_eleven_characters; do
  valgrind --quiet --leak-check=full --show-leak-kinds=all --errors-for-leak-kinds=all \
    --suppressions="$(dirname "$0")/memcheck.supp" \
    --error-exitcode=99 "$program" "$cases/$name/input.txt" "$work/$name.out" \
    < "$cases/$name/answers.txt" > "$work/$name.console"
  status=$?
  if [ "$status" -eq 99 ]; then
    echo "memcheck found errors in case $name"
    exit 1
  fi
done
