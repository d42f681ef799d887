#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Purpose: export and import of the bundled sample under Valgrind's memcheck: no invalid access, no leak.
# CLI and SOURCE_DIR come from the environment.
set -euo pipefail

: "${CLI:?}" "${SOURCE_DIR:?}"
command -v valgrind >/dev/null || { echo "valgrind is not installed (scripts/setup.sh installs it)"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/enlazio-memcheck.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/atemp"
cp "$SOURCE_DIR/samples/ies_fuente_nueva.xml" "$work/"

memcheck() {
    valgrind --error-exitcode=1 --leak-check=full --quiet "$CLI" "$@"
}
memcheck exportar "$work/ies_fuente_nueva.xml" --exchange "$work/atemp"
cp "$SOURCE_DIR/samples/SOLUC.DBF" "$work/atemp/"
memcheck importar "$work/ies_fuente_nueva.xml" --exchange "$work/atemp"
test -s "$work/ResultadoAulixies_fuente_nueva.xml"
echo ok
