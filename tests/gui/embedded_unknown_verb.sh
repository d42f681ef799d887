#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Purpose: an unknown verb ("exportar " with a blank): nothing runs, the window waits inside the host, Salir hands back 0.
source "$(dirname "$0")/xvfb_lib.sh"

make_sandbox
start_host
start_enlazio "exportar " "$host"

form=$(find_window --onlyvisible --name "^$kCaption\$")
[ $(( $(parent_of "$form") )) -eq $(( 16#$host )) ] || fail "la ventana no es hija de la anfitriona"
info=$(xwininfo -id "$form")
# The screen-centring rule applied inside the host: ((1280-632)/2, (1024-266)/2).
grep -q 'Relative upper-left X: *324$' <<<"$info" || fail "posición X: $info"
grep -q 'Relative upper-left Y: *379$' <<<"$info" || fail "posición Y: $info"
grep -q 'Width: 632$' <<<"$info" || fail "anchura: $info"
grep -q 'Height: 266$' <<<"$info" || fail "altura: $info"
xdotool search --onlyvisible --name '^(Archivo XML|Enlazio)$' >/dev/null && fail "no debía abrirse ningún diálogo"

click_in "$form" 300 212 # BClose: panel Draw3D1 at (0,168), button at (256,32), 89x25
expect_exit

expected=$(printf '; Ajustes de Aularis\r\n[General]\r\nRuta=C:\\AULARIS\\\r\n\r\n[TRANSFORMADORES]\r\nOtro = "a;b"\r\nTransformado=0\r\n\r\n[Final]\r\nA=1\r\n' | od -c)
[ "$(od -c <"$sandbox/bin/Aularis.ini")" = "$expected" ] || fail "Aularis.ini no es el esperado"
[ -z "$(find "$ENLAZIO_DRIVE_C/ATEMP" -maxdepth 1 -iname '*.dbf')" ] || fail "no debía escribirse ninguna tabla"
echo "verbo desconocido incrustado: correcto"
