#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Purpose: build the benchmarks (Release, in build-bench) and run them: every figure beside its floor, as in BENCHMARKS.md.
#
#   bash scripts/bench.sh            # a few minutes: 100 MB export, SOLUC of 10,000 and 100,000 rows
#   bash scripts/bench.sh --full     # also SOLUC of 1,000,000 rows (a 230 MB zone document): longer
#   bash scripts/bench.sh --help     # the driver's other options (--runs, --mb, --markdown FILE, --keep)
#
# The packages come from scripts/setup.sh (libbenchmark-dev, libxml2-utils for xmllint,
# time for /usr/bin/time, Qt 6 for the window). The benchmarks are never part of scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build-bench}
for tool in cmake xmllint /usr/bin/time /usr/bin/python3; do
  command -v "$tool" >/dev/null || { echo "bench.sh: falta $tool; ejecute scripts/setup.sh" >&2; exit 1; }
done

cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DBUILD_BENCH=ON -DBUILD_TESTING=OFF \
  -DBUILD_GUI="${BUILD_GUI:-ON}" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"

exec /usr/bin/python3 bench/run_bench.py --build "$BUILD_DIR" "$@"
