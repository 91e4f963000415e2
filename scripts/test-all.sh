#!/usr/bin/env bash
# Builds Velmora with warnings as errors and runs every test; then builds the core with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs the core tests under them. Fails when any step fails.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

cmake -S . -B build/ci -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_WERROR=ON
cmake --build build/ci -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build/ci --output-on-failure -j "$jobs"

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMORA_WERROR=ON -DVELMORA_SANITIZE=ON \
    -DVELMORA_BUILD_APP=OFF -DVELMORA_BUILD_BENCH=OFF
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build/asan --output-on-failure -j "$jobs" -L core
