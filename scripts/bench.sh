#!/usr/bin/env bash
# Builds every benchmark under bench/ in Release, in its own folder (not the
# test build, which carries sanitizers), and runs each one in turn.
#   bash scripts/bench.sh            build into build-bench/ and run all
#   BENCH_BUILD_DIR=dir bash scripts/bench.sh
# Figures depend on the machine and its load: run it on an idle machine.
# A benchmark whose scene cannot be set up as asked fails (exit status 1).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-deps.sh
BUILD_DIR=${BENCH_BUILD_DIR:-build-bench}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DMORVA_BENCH=ON -DMORVA_SANITIZE= -DMORVA_FUZZ=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target benchmarks

export QT_QPA_PLATFORM=offscreen
status=0
for bench in "$BUILD_DIR"/bench/bench_*; do
  [ -f "$bench" ] && [ -x "$bench" ] || continue
  echo
  echo "== $(basename "$bench")"
  case "$(basename "$bench")" in
    # Shows into a native window: a private X server of its own.
    bench_preview)
      QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1920x1080x24" "$bench" || status=1 ;;
    *) "$bench" || status=1 ;;
  esac
done
exit $status
