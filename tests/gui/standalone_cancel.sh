#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Purpose: stand-alone, the export's dialog cancelled on the first run: "No existe archivo", nothing written.
source "$(dirname "$0")/xvfb_lib.sh"

make_sandbox
cp "$sandbox/bin/Aularis.ini" "$sandbox/Aularis.before"
start_enlazio

form=$(find_window --onlyvisible --name "^$kCaption\$")
[ $(( $(parent_of "$form") )) -eq $(( $(root_window) )) ] || fail "la ventana no es de primer nivel"
click_in "$form" 141 132 # BExportar: panel Draw3D2 at (1,0), button at (96,120)

dialog=$(find_window --onlyvisible --name '^Archivo XML$')
keys_to "$dialog" key Escape
box=$(find_window --onlyvisible --name '^Enlazio$')
keys_to "$box" key Return
for _ in $(seq 1 50); do
  xdotool search --onlyvisible --name '^Enlazio$' >/dev/null || break
  sleep 0.1
done

[ -z "$(find "$ENLAZIO_DRIVE_C/ATEMP" -maxdepth 1 -iname '*.dbf')" ] || fail "no debía escribirse ninguna tabla"
kill -0 "$app" 2>/dev/null || fail "la ventana independiente no debía cerrarse"

click_in "$form" 300 212 # Salir
expect_exit
cmp -s "$sandbox/Aularis.before" "$sandbox/bin/Aularis.ini" || fail "el modo independiente no debe tocar Aularis.ini"
echo "independiente con diálogo cancelado: correcto"
