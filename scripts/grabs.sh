#!/usr/bin/env bash
# Grabs, from a private X server, the windows whose texts Chinese fonts and
# Qt's Chinese catalogue make longer (Qt's file dialog and message box, the
# live clock, the settings dialog's version, the room tool's hint), with the
# test that checks those texts fit, and saves them as PNGs to be looked at.
#   bash scripts/grabs.sh              writes build-grabs-out/*.png
#   bash scripts/grabs.sh some/folder
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-deps.sh
BUILD_DIR=${GRABS_BUILD_DIR:-build-grabs-release}
out=$(realpath -m "${1:-build-grabs-out}")
mkdir -p "$out"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DMORVA_SANITIZE= -DMORVA_FUZZ=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target test_texts_x11
MORVASHOW_GRABS="$out" QT_QPA_PLATFORM=xcb MORVASHOW_HOSTS= MORVASHOW_WORLD= \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$BUILD_DIR/tests/texts_x11/test_texts_x11"
printf 'grabs.sh: wrote %s\n' "$out"/*.png
