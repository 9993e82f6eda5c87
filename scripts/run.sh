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

# A local RTMP receiver for the default world's live lines
# (rtmp://127.0.0.1:1935/live/20001): nginx with its RTMP module, on a
# configuration in the build folder, running as long as the program does.
rtmp_listening() { (exec 3<>/dev/tcp/127.0.0.1/1935) 2>/dev/null; }
start_rtmp_receiver() {
  if rtmp_listening; then
    echo "run.sh: 127.0.0.1:1935 already answers; using that RTMP receiver."
    return 0
  fi
  local dir
  dir="$(cd "$BUILD_DIR" && pwd)/rtmp"
  bash scripts/rtmp-receiver.sh "$dir" 1935 &
  rtmp_pid=$!
  trap 'kill "$rtmp_pid" 2>/dev/null; wait "$rtmp_pid" 2>/dev/null || true' EXIT
  for _ in $(seq 50); do
    if rtmp_listening; then
      echo "run.sh: RTMP receiver on rtmp://127.0.0.1:1935/live (nginx, log $dir/error.log)"
      return 0
    fi
    if ! kill -0 "$rtmp_pid" 2>/dev/null; then
      echo "run.sh: the RTMP receiver did not start: pushes to the default live lines will fail (see $dir/error.log)."
      return 0
    fi
    sleep 0.1
  done
  echo "run.sh: the RTMP receiver is not listening yet (see $dir/error.log)."
}
start_rtmp_receiver

# Not exec: the receiver stops when the program ends.
status=0
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display found; starting mvShow under xvfb-run (a private X server: nothing is shown on screen; stop it with Ctrl-C)."
  xvfb-run -a -s "-screen 0 1280x1024x24" "$program" "$@" || status=$?
else
  echo "run.sh: starting $program"
  "$program" "$@" || status=$?
fi
exit "$status"
