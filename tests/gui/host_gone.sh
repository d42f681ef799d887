#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Purpose: the host's window goes away under the embedded tool, idle or with its dialog open: the tool ends, writing nothing.
source "$(dirname "$0")/xvfb_lib.sh"

make_sandbox
cp "$sandbox/bin/Aularis.ini" "$sandbox/Aularis.before"

for verb in ninguno exportar; do
  start_host
  host_pid=${started[-1]}
  start_enlazio "$verb" "$host"
  if [ "$verb" = exportar ]; then
    find_window --onlyvisible --name '^Archivo XML$' >/dev/null
  else
    find_window --onlyvisible --name "^$kCaption\$" >/dev/null
  fi
  kill "$host_pid"
  expect_exit
  cmp -s "$sandbox/Aularis.before" "$sandbox/bin/Aularis.ini" || fail "$verb: no debía escribirse Aularis.ini"
done
[ -z "$(find "$ENLAZIO_DRIVE_C/ATEMP" -maxdepth 1 -iname '*.dbf')" ] || fail "no debía escribirse ninguna tabla"
echo "anfitriona desaparecida: correcto"
