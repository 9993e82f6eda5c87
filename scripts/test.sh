#!/usr/bin/env bash
# Sets up, builds and runs every test offscreen; ends with CTest's summary.
#
# Two builds, both with clang:
#   build-tsan/  ThreadSanitizer, only the test areas of MORVA_TSAN_AREAS
#   build-asan/  AddressSanitizer + UndefinedBehaviorSanitizer: every test,
#                every fuzz target, and the ThreadSanitizer executables
#                above registered as tests too, so that one CTest run
#                covers everything and its summary is the last line.
# Any sanitizer report, leak or fuzz crash fails its test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-deps.sh

ASAN_DIR=${BUILD_DIR:-build-asan}
TSAN_DIR=${TSAN_BUILD_DIR:-build-tsan}
jobs=${JOBS:-$(nproc)}
export CC=clang CXX=clang++
# Paths relative to the checkout, so another clone reuses the compiler cache.
export CCACHE_BASEDIR="$PWD"

cmake -S . -B "$TSAN_DIR" -DCMAKE_BUILD_TYPE=Debug -DMORVA_SANITIZE=thread >/dev/null
cmake --build "$TSAN_DIR" -j "$jobs" --target tsan_tests

cmake -S . -B "$ASAN_DIR" -DCMAKE_BUILD_TYPE=Debug -DMORVA_SANITIZE=address,undefined -DMORVA_FUZZ=ON \
  -DMORVA_TSAN_BUILD="$(cd "$TSAN_DIR" && pwd)" >/dev/null
cmake --build "$ASAN_DIR" -j "$jobs"

cd "$ASAN_DIR"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-label-summary -j "$jobs" --timeout 300
