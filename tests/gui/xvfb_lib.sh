# SPDX-License-Identifier: MIT
# Purpose: shared steps of the Xvfb scenarios: a sandbox with its own drive C:, a copy of the program, windows found by name.
set -euo pipefail

: "${ENLAZIO_EXE:?}" "${ENLAZIO_TEST_HOST:?}" "${ENLAZIO_TEST_GRAB:?}" "${ENLAZIO_GUI_DATA:?}" "${DISPLAY:?}"
for tool in xdotool xwininfo xprop; do
  command -v "$tool" >/dev/null || { echo "FALLO: falta $tool (paquetes xdotool, x11-utils)" >&2; exit 1; }
done

readonly kCaption='Exportar e importar datos entre Aularis y Delphos '
sandbox=$(mktemp -d "${TMPDIR:-/tmp}/enlazio-gui.XXXXXX")
started=()

cleanup() {
  local pid
  for pid in "${started[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  rm -rf "$sandbox"
}
trap cleanup EXIT

fail() {
  echo "FALLO: $*" >&2
  if [ -s "$sandbox/enlazio.log" ]; then
    echo "--- salida de enlazio:" >&2
    cat "$sandbox/enlazio.log" >&2
  fi
  exit 1
}

# drive C: with the exchange folder and the sample under C:\ATEMP\DELPHOS, and a copy of
# the program, so that Aularis.ini is written beside the copy and never beside the build.
make_sandbox() {
  mkdir -p "$sandbox/drive_c/ATEMP/DELPHOS" "$sandbox/bin"
  cp "$ENLAZIO_GUI_DATA/servicio.xml" "$sandbox/drive_c/ATEMP/DELPHOS/servicio.xml"
  cp "$ENLAZIO_EXE" "$sandbox/bin/enlazio"
  export ENLAZIO_DRIVE_C="$sandbox/drive_c"
  printf '; Ajustes de Aularis\r\n[General]\r\nRuta=C:\\AULARIS\\\r\n\r\n[TRANSFORMADORES]\r\nOtro = "a;b"\r\nTransformado=7\r\n\r\n[Final]\r\nA=1\r\n' \
    >"$sandbox/bin/Aularis.ini"
}

# Starts the stand-in host window; sets $host to its id in hex digits.
start_host() {
  "$ENLAZIO_TEST_HOST" >"$sandbox/host.out" 2>"$sandbox/host.err" &
  started+=($!)
  local _
  for _ in $(seq 1 100); do
    [ -s "$sandbox/host.out" ] && break
    sleep 0.1
  done
  host=$(head -n1 "$sandbox/host.out")
  [ -n "$host" ] || fail "la ventana anfitriona no ha arrancado"
}

# Starts enlazio with the given arguments; sets $app to its process id.
start_enlazio() {
  "$sandbox/bin/enlazio" "$@" >"$sandbox/enlazio.log" 2>&1 &
  app=$!
  started+=("$app")
}

# The id of the first window whose name matches the pattern (extra xdotool options first).
find_window() {
  local id
  id=$(timeout 20 xdotool search --sync "$@" 2>/dev/null | head -n1) || true
  [ -n "$id" ] || fail "no aparece la ventana ${*: -1}"
  echo "$id"
}

parent_of() {
  xwininfo -tree -id "$1" | sed -n 's/.*Parent window id: \(0x[0-9a-fA-F]*\).*/\1/p'
}

root_window() {
  xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-fA-F]*\).*/\1/p'
}

# Focuses a window and sends it keys.
keys_to() {
  local window=$1
  shift
  xdotool windowfocus --sync "$window"
  xdotool "$@"
}

# Clicks at a point of a window given in its own coordinates.
click_in() {
  xdotool mousemove --sync --window "$1" "$2" "$3" click 1
}

# Waits for enlazio to end by itself, and checks it ended well.
expect_exit() {
  local _ status
  for _ in $(seq 1 150); do
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$app" 2>/dev/null && fail "enlazio no ha terminado por sí solo"
  wait "$app" && status=0 || status=$?
  [ "$status" -eq 0 ] || fail "enlazio ha terminado con el estado $status"
}

# The record count in a dBase header: bytes 4 to 7, little-endian.
record_count() {
  od -An -tu4 -j4 -N4 "$1" | tr -d ' '
}
