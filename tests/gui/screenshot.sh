#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Purpose: the stand-alone window drawn on a real X server: a screenshot (for the README) and its colours.
source "$(dirname "$0")/xvfb_lib.sh"

: "${ENLAZIO_TEST_OUT:?}"
mkdir -p "$ENLAZIO_TEST_OUT"
make_sandbox
start_enlazio

form=$(find_window --onlyvisible --name "^$kCaption\$")
sleep 0.5 # let the first paint reach the server
# Left panel: top row and half height; bottom panel: top and bottom rows.
samples=$("$ENLAZIO_TEST_GRAB" "$(printf '%x' "$form")" "$ENLAZIO_TEST_OUT/window.png" 3,0 3,84 3,168 3,264) \
  || fail "no se ha podido capturar la ventana"
expected=$'632x266\n#ffeedd\n#ffffff\n#ccd8e6\n#c2cdfe'
[ "$(head -n5 <<<"$samples")" = "$expected" ] || fail "captura inesperada: $samples"
echo "captura: $ENLAZIO_TEST_OUT/window.png"

click_in "$form" 300 212
expect_exit
