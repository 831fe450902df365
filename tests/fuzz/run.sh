#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the fuzzer with clang, libFuzzer, AddressSanitizer and UBSan, and runs it for the given
# number of seconds (default 60) from the seed corpus and the tests' animations. An input that
# crashes it is written to tests/fuzz/regressions/, which the test suite replays.
# Usage: tests/fuzz/run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
cmake --preset fuzz > /dev/null
cmake --build --preset fuzz
mkdir -p build-fuzz/corpus
# The seed writer encodes HEIC with x265, which keeps a few blocks for good.
ASAN_OPTIONS=detect_leaks=0 build-fuzz/tests/kelmo_seeds build-fuzz/seeds
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 build-fuzz/tests/kelmo_fuzz \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=3072 -max_len=65536 \
  -print_final_stats=1 -artifact_prefix=tests/fuzz/regressions/ \
  build-fuzz/corpus build-fuzz/seeds tests/data/animations
