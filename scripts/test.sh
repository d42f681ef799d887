#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Purpose: set everything up, build, and run every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
ctest --test-dir build --output-on-failure -j2

# The unit and command-line tests again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DENLAZIO_SANITIZE=ON -DBUILD_GUI=OFF >/dev/null
cmake --build build-asan -j"$(nproc)"
ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan -L 'unit|cli' --output-on-failure -j2
