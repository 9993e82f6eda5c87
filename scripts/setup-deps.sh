#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need.
# Idempotent: only missing packages are installed, and apt-get update runs once
# and only when something is missing.
set -euo pipefail

packages=(
  # build
  cmake g++ make pkg-config ccache
  qtbase5-dev qttools5-dev-tools libqt5webkit5-dev libqt5sql5-sqlite libqt5svg5-dev
  libboost-thread-dev libboost-system-dev libboost-date-time-dev
  libjsoncpp-dev libcurl4-openssl-dev libqrencode-dev libxcb1-dev
  libbenchmark-dev libssl-dev
  # media engine: encoding and muxing, X11 capture and preview, cameras, sound
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
  libxcb-shm0-dev libv4l-dev libpulse-dev libyuv-dev
  # sanitizer builds and fuzzing: clang, its sanitizer and libFuzzer
  # runtimes, and llvm-symbolizer for readable reports
  clang libclang-rt-14-dev llvm
  # run and test (qttranslations5-l10n: Qt's own dialog and button texts in
  # Chinese)
  xvfb xauth fonts-wqy-microhei zbar-tools qttranslations5-l10n
  # media tests and the run command's local stream receiver
  ffmpeg pulseaudio nginx libnginx-mod-rtmp
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
