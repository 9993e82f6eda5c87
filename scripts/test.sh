#!/usr/bin/env bash
# Sets up, builds and runs every test offscreen; ends with CTest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
jobs=$(nproc)
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR" -j "$jobs"
cd "$BUILD_DIR"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 300
