#!/usr/bin/env bash
# Builds kelvarin and runs it on the shipped hourly example, three-hourly output, answers piped in.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -DKELVARIN_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc)" >/dev/null
./build/kelvarin examples/berlin_hourly.txt berlin_hourly.3h.out < examples/berlin_hourly.3h.answers
echo "--- berlin_hourly.3h.out:"
cat berlin_hourly.3h.out
