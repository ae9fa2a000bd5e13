#!/usr/bin/env bash
# Runs one kelvarin-prepare case: the case folder's tables copied into a fresh work folder, the
# command line from `args` (one argument a line), then standard output, standard error, the exit
# status and, for --split runs, the folder `split/` compared with what the case expects:
#   expected_stdout, expected_stderr, expected_status, expected_split/ (optional), and
#   expected_files/ (optional): files of the work folder that must read so afterwards, such as an
#   input that an output must not have overwritten
# Arguments after WORK come before the case's own: "--memory 0" reads every value again as the
# station file is written, and the case must come out the same.
set -u
program=$1
case_dir=$2
work=$3
shift 3
extra=("$@")
rm -rf "$work"
mkdir -p "$work"
for file in "$case_dir"/*; do
  case $(basename "$file") in
    args | expected_*) ;;
    *) cp -r "$file" "$work/" ;;
  esac
done
cd "$work" || exit 1
mapfile -t args < "$case_dir/args"
timeout 20 "$program" "${extra[@]}" "${args[@]}" > stdout.txt 2> stderr.txt
status=$?
failed=0
if [ "$status" != "$(cat "$case_dir/expected_status")" ]; then
  echo "exit status $status, expected $(cat "$case_dir/expected_status")"
  failed=1
fi
for stream in stdout stderr; do
  if ! cmp -s "$stream.txt" "$case_dir/expected_$stream"; then
    echo "$stream differs:"
    diff "$case_dir/expected_$stream" "$stream.txt" | head -n 30
    failed=1
  fi
done
if [ -d "$case_dir/expected_split" ] && ! diff -r "$case_dir/expected_split" split; then
  failed=1
fi
if [ -d "$case_dir/expected_files" ]; then
  while IFS= read -r -d '' expected; do
    relative=${expected#"$case_dir/expected_files/"}
    if ! cmp -s "$expected" "$relative"; then
      echo "$relative differs from expected_files/$relative"
      failed=1
    fi
  done < <(find "$case_dir/expected_files" -type f -print0)
fi
exit $failed
