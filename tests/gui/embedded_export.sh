#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Purpose: the host starts "enlazio EXPORTAR <id>": child of the host, dialog answered, six tables, 1 in Aularis.ini.
source "$(dirname "$0")/xvfb_lib.sh"

make_sandbox
start_host
start_enlazio EXPORTAR "$host"

dialog=$(find_window --onlyvisible --name '^Archivo XML$')
# While the dialog is up the tool's window already lives inside the host, not yet shown.
form=$(find_window --name "^$kCaption\$")
[ $(( $(parent_of "$form") )) -eq $(( 16#$host )) ] || fail "la ventana no es hija de la anfitriona"
xwininfo -id "$form" | grep -q 'Map State: IsUnMapped' || fail "la ventana se ha mostrado antes que el diálogo"
# The dialog stays above the host program.
transient=$(xprop -id "$dialog" WM_TRANSIENT_FOR | sed -n 's/.*# \(0x[0-9a-fA-F]*\).*/\1/p')
[ $(( ${transient:-0} )) -eq $(( 16#$host )) ] || fail "el diálogo no depende de la ventana anfitriona"

# A typed name without extension: the dialog adds .xml.
keys_to "$dialog" type --delay 5 "$ENLAZIO_DRIVE_C/ATEMP/DELPHOS/servicio"
xdotool key Return

box=$(find_window --onlyvisible --name '^Enlazio$')
keys_to "$box" key Return
expect_exit

for table in ASIGNOMT:2 PROFT:2 AULAT:1 GRUPOST:1 ASIGT:2 DIASHORAST:2; do
  file=$(find "$ENLAZIO_DRIVE_C/ATEMP" -maxdepth 1 -iname "${table%%:*}.DBF" | head -n1)
  [ -n "$file" ] || fail "no se ha escrito la tabla ${table%%:*}"
  [ "$(record_count "$file")" = "${table##*:}" ] || fail "${table%%:*} tiene $(record_count "$file") registros"
done

expected=$(printf '; Ajustes de Aularis\r\n[General]\r\nRuta=C:\\AULARIS\\\r\n\r\n[TRANSFORMADORES]\r\nOtro = "a;b"\r\nTransformado=1\r\n\r\n[Final]\r\nA=1\r\n' | od -c)
[ "$(od -c <"$sandbox/bin/Aularis.ini")" = "$expected" ] || {
  od -c "$sandbox/bin/Aularis.ini" >&2
  fail "Aularis.ini no es el esperado"
}
echo "exportación incrustada: correcta"
