#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed program on the example.
set -eu
build=$1
source_dir=$2
prefix=$3
rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" > /dev/null
test -x "$prefix/bin/kelvarin"
test -f "$prefix/share/man/man1/kelvarin.1"
test -x "$prefix/bin/kelvarin-prepare"
test -f "$prefix/share/man/man1/kelvarin-prepare.1"
"$prefix/bin/kelvarin-prepare" --version | grep -q '^kelvarin-prepare [0-9]'
"$prefix/bin/kelvarin" "$source_dir/examples/berlin_hourly.txt" "$prefix/out.txt" \
  < "$source_dir/examples/berlin_hourly.3h.answers" > "$prefix/console.txt"
cmp "$prefix/out.txt" "$source_dir/examples/berlin_hourly.3h.expected"
tail -n 1 "$prefix/console.txt" | grep -qx 'ready\.\.'
if command -v man > /dev/null; then
  man -l "$prefix/share/man/man1/kelvarin.1" 2> /dev/null | grep -q 'EXIT STATUS'
fi
