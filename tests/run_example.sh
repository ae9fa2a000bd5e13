#!/usr/bin/env bash
# Runs a shipped example: INPUT.txt with the answers RUN.answers, compared with RUN.expected.
set -u
# A kernel this processor cannot run is skipped (ctest's SKIP_RETURN_CODE).
case ${KELVARIN_VECTOR:-} in
  sse2) [ "$(uname -m)" = x86_64 ] || exit 77 ;;
  avx2) [ "$(uname -m)" = x86_64 ] && grep -qw avx2 /proc/cpuinfo || exit 77 ;;
esac
program=$1
examples=$2
input=$3
run=$4
work=$5
rm -rf "$work"
mkdir -p "$work"
"$program" "$examples/$input.txt" "$work/output.txt" < "$examples/$run.answers" > "$work/console.txt" ||
  { echo "kelvarin failed:"; cat "$work/console.txt"; exit 1; }
if ! cmp -s "$work/output.txt" "$examples/$run.expected"; then
  diff "$examples/$run.expected" "$work/output.txt" | head -n 40
  exit 1
fi
# A shipped example runs without a warning, unless RUN.warnings says which it gives.
grep '^warning: ' "$work/console.txt" > "$work/warnings.txt"
expected_warnings=/dev/null
[ -f "$examples/$run.warnings" ] && expected_warnings="$examples/$run.warnings"
if ! cmp -s "$work/warnings.txt" "$expected_warnings"; then
  echo "warnings differ:"
  diff "$expected_warnings" "$work/warnings.txt"
  exit 1
fi
