#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it on the built-in
# default world (or on the world file MORVASHOW_WORLD names).
#   bash scripts/run.sh              build into build-run/ and start mvShow
#   RUN_BUILD_DIR=dir bash scripts/run.sh
# Without a display (no DISPLAY or WAYLAND_DISPLAY) it runs under xvfb-run, a
# private X server: the program runs, but nothing shows on any screen.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-deps.sh
BUILD_DIR=${RUN_BUILD_DIR:-build-run}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DMORVA_SANITIZE= -DMORVA_FUZZ=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target mvShow

program="$BUILD_DIR/app/mvShow"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display found; starting mvShow under xvfb-run (a private X server: nothing is shown on screen; stop it with Ctrl-C)."
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$program" "$@"
fi
echo "run.sh: starting $program"
exec "$program" "$@"
