#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Purpose: set everything up, build, and run every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
ctest --test-dir build --output-on-failure -j2
