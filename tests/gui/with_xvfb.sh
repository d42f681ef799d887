#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Purpose: runs a command on a private Xvfb display that it starts and stops itself; no display, no pass.
set -euo pipefail

if ! command -v Xvfb >/dev/null 2>&1; then
  echo "with_xvfb: Xvfb no está instalado (paquete xvfb)" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/enlazio-xvfb.XXXXXX")
# Xvfb picks a free display number and writes it to fd 3 once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
cleanup() {
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

for _ in $(seq 1 100); do
  [ -s "$work/display" ] && break
  if ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "with_xvfb: Xvfb no ha podido arrancar:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
  fi
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "with_xvfb: Xvfb no ha abierto ninguna pantalla en 10 s" >&2
  exit 1
fi

export DISPLAY=":$(head -n1 "$work/display")"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
set +e
"$@"
status=$?
set -e
exit "$status"
