#!/usr/bin/env bash
# The AVX2 kernel's object must define no code that other code could take at link time: every
# global or weak function it defines lies in kelvarin::kernels::avx2, and no other object of the
# library defines one of them. Otherwise the linker may keep its AVX2 copy of an inline function
# for callers that run on any processor. (Constant data, such as a shared table of powers of ten,
# is the same bytes whoever compiles it.)
set -u
avx2_object=$1
# Absolute: the library is unpacked in a folder of its own.
library=$(realpath "$2")
# Global and weak functions: nm's types T, W and i.
nm_defined() {
  nm --defined-only --extern-only "$@" 2>/dev/null | awk 'NF == 3 && $2 ~ /^[TWi]$/ { print $3 }'
}
failed=0
avx2_symbols=$(nm_defined "$avx2_object" | sort -u)
if [ -z "$avx2_symbols" ]; then
  echo "no symbols in $avx2_object"
  exit 1
fi
# A template's demangled name begins with its return type.
outside=$(echo "$avx2_symbols" | c++filt | grep -Ev '^([^(]* )?kelvarin::kernels::avx2::')
if [ -n "$outside" ]; then
  echo "the AVX2 kernel defines symbols outside its namespace:"
  echo "$outside"
  failed=1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! (cd "$work" && ar x "$library"); then
  echo "cannot unpack $library"
  exit 1
fi
others=$(for object in "$work"/*.o; do
  [ "$(basename "$object")" = "$(basename "$avx2_object")" ] || nm_defined "$object"
done | sort -u)
if [ -z "$others" ]; then
  echo "no symbols in the other objects of $library"
  exit 1
fi
shared=$(comm -12 <(echo "$avx2_symbols") <(echo "$others"))
if [ -n "$shared" ]; then
  echo "symbols the AVX2 kernel shares with other objects:"
  echo "$shared" | c++filt
  failed=1
fi
exit $failed
