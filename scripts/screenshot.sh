#!/usr/bin/env bash
# Makes the README's picture of the main window: the whole-program test on a
# private X server signs in, composes a camera with beauty, a picture, a
# sticker and a scrolling subtitle, and saves the window's grab.
#   bash scripts/screenshot.sh             writes docs/mainwindow.png
#   bash scripts/screenshot.sh out.png
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-deps.sh
BUILD_DIR=${RUN_BUILD_DIR:-build-run}
out=$(realpath -m "${1:-docs/mainwindow.png}")
mkdir -p "$(dirname "$out")"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DMORVA_SANITIZE= -DMORVA_FUZZ=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target test_studio_x11
MORVASHOW_SCREENSHOT="$out" QT_QPA_PLATFORM=xcb MORVASHOW_HOSTS= MORVASHOW_WORLD= \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$BUILD_DIR/tests/studio_x11/test_studio_x11"
echo "screenshot.sh: wrote $out"
