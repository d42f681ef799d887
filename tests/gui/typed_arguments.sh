#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Purpose: arguments count as typed, Qt's own included: "-style fusion" is two arguments, and "$fusion" no handle.
source "$(dirname "$0")/xvfb_lib.sh"

make_sandbox
cp "$sandbox/bin/Aularis.ini" "$sandbox/Aularis.before"
start_enlazio -style fusion

# The conversion failure comes while the window is being created, before it is shown.
box=$(find_window --onlyvisible --name '^Enlazio$')
xdotool search --onlyvisible --name "^$kCaption\$" >/dev/null && fail "la ventana no debía mostrarse antes del aviso"
keys_to "$box" key Return

form=$(find_window --onlyvisible --name "^$kCaption\$")
[ $(( $(parent_of "$form") )) -eq $(( $(root_window) )) ] || fail "la ventana debía quedar de primer nivel"
click_in "$form" 300 212 # Salir
expect_exit
cmp -s "$sandbox/Aularis.before" "$sandbox/bin/Aularis.ini" || fail "sin ventana anfitriona no se escribe Aularis.ini"
echo "argumentos tal como se escriben: correcto"
