#!/usr/bin/env bash
# Builds kelvarin and runs every test: in the normal build (g++), in a build with AddressSanitizer
# and UndefinedBehaviorSanitizer, and in a clang build; checks the formatting of the C++ files,
# builds the benchmark tools (without timing them) and gives each fuzzer a short run.
#
# Usage: tools/run-tests.sh [FUZZ_SECONDS]     (default 30 seconds per fuzzer; 0 skips them)
set -euo pipefail
cd "$(dirname "$0")/.."
fuzz_seconds=${1:-30}
bash tools/install-deps.sh clang clang-format libclang-rt-14-dev libbenchmark-dev netcdf-bin \
  python3-netcdf4 python3-pandas
jobs=$(nproc)

echo "=== formatting (clang-format --dry-run -Werror)"
git ls-files -z '*.cpp' '*.hpp' | xargs -0 clang-format --dry-run -Werror
echo "formatted"

# The plain build runs everything: each end-to-end case under every kernel and without the fast
# paths, and the slow tier (the 100,000-station split, the documentation's command blocks). The
# sanitized and clang builds run each case once, the processor's way, and leave the slow tier out.
for variant in plain sanitize clang; do
  dir=build
  flags=()
  compilers=()
  tiers=()
  case $variant in
    sanitize)
      dir=build-sanitize
      flags=(-DSANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVARIN_EVERY_WAY=OFF)
      tiers=(-LE slow)
      ;;
    clang)
      dir=build-clang
      compilers=(CC=clang CXX=clang++)
      flags=(-DKELVARIN_EVERY_WAY=OFF)
      tiers=(-LE slow)
      ;;
  esac
  echo "=== $variant build ($dir)"
  env "${compilers[@]}" cmake -S . -B "$dir" -DKELVARIN_TESTS=ON "${flags[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs" >/dev/null
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure "${tiers[@]}"
done

echo "=== the AVX2 kernel's symbols in a Debug build, where nothing is inlined"
cmake -S . -B build-debug -DCMAKE_BUILD_TYPE=Debug -DKELVARIN_TESTS=OFF >/dev/null
cmake --build build-debug -j "$jobs" --target kelvarin_stationdata >/dev/null
if [ "$(uname -m)" = x86_64 ]; then
  bash tests/kernel_symbols_test.sh \
    build-debug/stationdata/CMakeFiles/kelvarin_kernel_avx2.dir/reading/kernels/kernel_avx2.cpp.o \
    build-debug/stationdata/libkelvarin_stationdata.a
fi
echo "checked"

echo "=== benchmark tools (built, not timed)"
cmake -S . -B build-bench -DKELVARIN_BENCH=ON -DKELVARIN_TESTS=OFF >/dev/null
cmake --build build-bench -j "$jobs" >/dev/null
echo "built"

if [ "$fuzz_seconds" -gt 0 ]; then
  echo "=== fuzzers, $fuzz_seconds s each"
  bash fuzz/run.sh "$fuzz_seconds"
fi
