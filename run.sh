#!/usr/bin/env bash
# Installs what is missing, builds and starts Clipwright (with the video named
# as its argument, if any). Without a display it starts on a virtual one,
# saves a screenshot and prints its path.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
APP=build/bin/clipwright
if [ ! -x "$APP" ]; then
  echo "run.sh: the program was not built ($APP missing)" >&2
  exit 1
fi
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$APP" "$@"
fi

# No display: run on a virtual one and take a picture of the screen.
SHOT="$PWD/build/screenshot.png"
DISPLAY_NUM=:77
Xvfb "$DISPLAY_NUM" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
trap 'kill "$APP_PID" 2>/dev/null || true; kill "$XVFB_PID" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${DISPLAY_NUM#:}" ] && break; sleep 0.1; done
DISPLAY=$DISPLAY_NUM QT_QPA_PLATFORM=xcb "$APP" "$@" >build/run.log 2>&1 &
APP_PID=$!
sleep "${RUN_SHOT_DELAY:-4}"
if ! kill -0 "$APP_PID" 2>/dev/null; then
  echo "run.sh: the program exited early; see build/run.log" >&2
  cat build/run.log >&2
  exit 1
fi
DISPLAY=$DISPLAY_NUM QT_QPA_PLATFORM=xcb build/bin/clipwright-screenshot "$SHOT"
echo "$SHOT"
