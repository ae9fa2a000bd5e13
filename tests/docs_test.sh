#!/usr/bin/env bash
# Runs every command block of a document as written, in order, in a fresh folder holding the
# repository's examples, with build/ beside them and on the PATH: a README block fenced ```sh
# (unless the line before it says "not run by the documentation test"), a manual page's example
# whose lines begin with "$ ". Every block must end with status 0. Standard input holds the
# answers of the hourly example's three-hourly run, as a user would type them at the prompts.
#   docs_test.sh DOCUMENT SOURCE_DIR BUILD_DIR WORK
set -u
document=$1
source_dir=$2
build_dir=$3
work=$4
rm -rf "$work"
mkdir -p "$work/blocks"
cp -r "$source_dir/examples" "$work/"
ln -s "$build_dir" "$work/build"
export PATH="$build_dir:$PATH"

# Writes each block to blocks/NNN.sh.
case $document in
  *.md)
    awk -v dir="$work/blocks" '
      /^```sh$/ { if (!skip) { n++; file = sprintf("%s/%03d.sh", dir, n); inside = 1 } skip = 0; next }
      /^```/ { inside = 0; skip = 0; next }
      inside { print > file; next }
      /not run by the documentation test/ { skip = 1; next }
      { skip = 0 }' "$document"
    ;;
  *)
    # roff: an example between .nf and .fi whose lines begin with "$ "; \e is a backslash,
    # \- a minus, \(aq a quote; the heredoc lines that follow belong to the block.
    awk -v dir="$work/blocks" '
      /^\.nf/ { inside = 1; started = 0; next }
      /^\.fi/ { inside = 0; next }
      inside && /^\.ft/ { next }
      inside && /^\$ / { if (!started) { n++; file = sprintf("%s/%03d.sh", dir, n); started = 1 } }
      inside && started {
        line = $0; sub(/^\$ /, "", line)
        gsub(/\\e/, "\\", line); gsub(/\\-/, "-", line); gsub(/\\\(aq/, "\047", line)
        print line > file }' "$document"
    ;;
esac

failed=0
cd "$work" || exit 1
for block in blocks/*.sh; do
  [ -e "$block" ] || { echo "no command block in $document"; exit 1; }
  if ! timeout 120 bash -e -o pipefail "$block" < examples/berlin_hourly.3h.answers \
    > "$block.out" 2>&1; then
    echo "$(basename "$document"): block $(basename "$block" .sh) failed:"
    sed 's/^/  | /' "$block"
    tail -n 5 "$block.out" | sed 's/^/  > /'
    failed=1
  fi
done
exit $failed
