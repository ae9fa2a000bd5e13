#!/usr/bin/env bash
# Runs one end-to-end case: kelvarin in a fresh work folder with the case's input and answers, then
# compares the console text, the output file and the exit status with what the case expects.
#
# A case folder holds:
#   input.txt             the input file (absent: no input file is made)
#   answers.txt           standard input for the dialogue (absent: empty standard input)
#   args                  the command line, one argument a line (absent: input.txt output.txt)
#   expected_console.txt  standard output, byte for byte
#   expected_output.txt   the output file, byte for byte (absent: output.txt must not exist)
#   expected_status       the exit status
#   setup                 optional shell lines run in the work folder before kelvarin
#   env                   optional environment settings for kelvarin, one NAME=VALUE a line
set -u
# A kernel this processor cannot run is skipped (ctest's SKIP_RETURN_CODE).
case ${KELVARIN_VECTOR:-} in
  sse2) [ "$(uname -m)" = x86_64 ] || exit 77 ;;
  avx2) [ "$(uname -m)" = x86_64 ] && grep -qw avx2 /proc/cpuinfo || exit 77 ;;
esac
program=$1
case_dir=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
[ -f "$case_dir/input.txt" ] && cp "$case_dir/input.txt" input.txt
[ -f "$case_dir/setup" ] && bash "$case_dir/setup"
args=(input.txt output.txt)
if [ -f "$case_dir/args" ]; then
  mapfile -t args < "$case_dir/args"
fi
answers=/dev/null
[ -f "$case_dir/answers.txt" ] && answers="$case_dir/answers.txt"
settings=()
if [ -f "$case_dir/env" ]; then
  mapfile -t settings < "$case_dir/env"
fi
env "${settings[@]}" timeout 20 "$program" "${args[@]}" < "$answers" > console.txt 2> stderr.txt
status=$?
failed=0
expected_status=$(cat "$case_dir/expected_status")
if [ "$status" != "$expected_status" ]; then
  echo "exit status $status, expected $expected_status"
  failed=1
fi
if [ -s stderr.txt ]; then
  echo "standard error is not empty:"
  cat stderr.txt
  failed=1
fi
if ! cmp -s console.txt "$case_dir/expected_console.txt"; then
  echo "console text differs:"
  diff "$case_dir/expected_console.txt" console.txt | head -n 40
  failed=1
fi
if [ -f "$case_dir/expected_output.txt" ]; then
  if ! cmp -s output.txt "$case_dir/expected_output.txt"; then
    echo "output file differs:"
    diff "$case_dir/expected_output.txt" output.txt | head -n 40
    failed=1
  fi
elif [ -e output.txt ]; then
  echo "output.txt exists but should not"
  failed=1
fi
exit $failed
