#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Purpose: set everything up, then run both directions on the bundled sample school.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

cli=build/cli/enlazio-cli
demo=build/demo
rm -rf "$demo"
mkdir -p "$demo/drive_c/ATEMP/delphos"
# The sample's own drive C:, so the demo never touches a real Wine prefix.
export ENLAZIO_DRIVE_C="$PWD/$demo/drive_c"
document="$demo/drive_c/ATEMP/delphos/ies_fuente_nueva.xml"
cp samples/ies_fuente_nueva.xml "$document"

echo "== Exportar: $document -> C:\\ATEMP ($ENLAZIO_DRIVE_C/ATEMP)"
"$cli" exportar "$document"
for table in ASIGNOMT PROFT AULAT GRUPOST ASIGT DIASHORAST; do
  echo
  echo "== $table (primeras filas)"
  "$cli" mostrar "$table" >"$demo/$table.txt"
  head -n 30 "$demo/$table.txt"
done

if [ -f samples/SOLUC.DBF ]; then
  # Aularis would compute SOLUC from the six tables; the sample ships one it could have made.
  cp samples/SOLUC.DBF "$demo/drive_c/ATEMP/SOLUC.DBF"
  echo
  echo "== Importar: SOLUC y las seis tablas -> documento de resultado"
  "$cli" importar "$document"
  result="$(dirname "$document")/ResultadoAulix$(basename "$document")"
  echo
  echo "== $result (comienzo de SALIDAS)"
  xmllint --format --encode UTF-8 "$result" >"$demo/resultado.txt"
  awk '/<SALIDAS>/ { on = 1 } on && n++ < 30' "$demo/resultado.txt"
fi
