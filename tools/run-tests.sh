#!/usr/bin/env bash
# Builds kelvarin and runs every test twice: in the normal build, and in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
jobs=$(nproc)
for variant in plain sanitize; do
  dir=build
  flags=()
  if [ "$variant" = sanitize ]; then
    dir=build-sanitize
    flags=(-DSANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo)
  fi
  echo "=== $variant build ($dir)"
  cmake -S . -B "$dir" -DKELVARIN_TESTS=ON "${flags[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs" >/dev/null
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure
done
