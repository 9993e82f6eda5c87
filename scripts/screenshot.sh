#!/usr/bin/env bash
# Makes the README's picture of the main window: the main window's test on a
# private X server signs in and builds the scene through the panels (the
# camera chosen and opened with one-key beauty, a picture dropped on the
# picture page, a sticker, a scrolling subtitle), then saves the window's grab.
#   bash scripts/screenshot.sh             writes docs/mainwindow.png
#   bash scripts/screenshot.sh out.png
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-deps.sh
BUILD_DIR=${RUN_BUILD_DIR:-build-run}
out=$(realpath -m "${1:-docs/mainwindow.png}")
mkdir -p "$(dirname "$out")"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DMORVA_SANITIZE= -DMORVA_FUZZ=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target test_mainwindow_x11
MORVASHOW_SCREENSHOT="$out" QT_QPA_PLATFORM=xcb MORVASHOW_HOSTS= MORVASHOW_WORLD= \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$BUILD_DIR/tests/mainwindow/test_mainwindow_x11" sceneBuiltThroughThePanels
echo "screenshot.sh: wrote $out"
