#!/usr/bin/env bash
# Builds the libFuzzer entry points with clang and runs each for SECONDS (default 600), one after
# the other, growing a working corpus under build-fuzz/work/ from the kept seeds. Crash and timeout
# inputs land in build-fuzz/artifacts/; turn each into an end-to-end case and a kept seed.
#
# Usage: fuzz/run.sh [SECONDS] [FUZZER ...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
fuzzers=("$@")
[ ${#fuzzers[@]} -gt 0 ] || fuzzers=(header_fuzzer run_fuzzer answers_fuzzer prepare_fuzzer horizon_fuzzer)
bash tools/install-deps.sh clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DKELVARIN_FUZZ=ON -DKELVARIN_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)" >/dev/null
mkdir -p build-fuzz/artifacts
for fuzzer in "${fuzzers[@]}"; do
  work="build-fuzz/work/$fuzzer"
  mkdir -p "$work"
  echo "=== $fuzzer for $seconds s"
  "build-fuzz/fuzz/kelvarin-$fuzzer" "$work" "fuzz/corpus/$fuzzer" -max_total_time="$seconds" \
    -timeout=10 -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1 \
    -artifact_prefix="build-fuzz/artifacts/$fuzzer-" 2>&1 | tail -n 25
done
