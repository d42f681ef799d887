#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Purpose: end-to-end checks of `enlazio-cli importar`: exit statuses, messages, and the sample school's result.
# Usage: import_cli.sh usage|no-file|failed|sample   (CLI, SOURCE_DIR and PYTHON come from the environment)
set -uo pipefail

: "${CLI:?}" "${SOURCE_DIR:?}"
PYTHON=${PYTHON:-/usr/bin/python3}
work=$(mktemp -d "${TMPDIR:-/tmp}/enlazio-import-cli.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect STATUS STDOUT_FILE STDERR_FILE -- command...
run() {
    local want=$1 out=$2 err=$3
    shift 4
    "$@" >"$out" 2>"$err"
    local got=$?
    [ "$got" -eq "$want" ] || fail "'$*' exited $got, expected $want; stderr: $(cat "$err")"
}

case "${1:-}" in
usage)
    for args in "" "--bogus $work/x.xml" "$work/a.xml $work/b.xml" "$work/a.xml --exchange" "--exchange="; do
        # shellcheck disable=SC2086
        run 2 "$work/out" "$work/err" -- "$CLI" importar $args
        grep -q "^uso: enlazio-cli importar ARCHIVO \[--exchange DIR\]" "$work/err" \
            || fail "no usage on stderr for 'importar $args'"
        [ ! -s "$work/out" ] || fail "stdout not empty for 'importar $args'"
    done
    run 0 "$work/out" "$work/err" -- "$CLI" importar --help
    grep -q "^uso: enlazio-cli importar" "$work/out" || fail "--help prints no usage on stdout"
    ;;
no-file)
    mkdir -p "$work/atemp"
    for missing in "$work/horario.xml" "$work"; do
        run 3 "$work/out" "$work/err" -- "$CLI" importar "$missing" --exchange "$work/atemp"
        [ "$(cat "$work/err")" = "No existe archivo" ] || fail "stderr: $(cat "$work/err")"
    done
    ;;
failed)
    # A document but no SOLUC: the run fails and writes nothing; an older result stays.
    mkdir -p "$work/atemp" "$work/delphos"
    printf '<SERVICIO><SALIDAS/></SERVICIO>\n' >"$work/delphos/horario.xml"
    printf 'older\n' >"$work/delphos/ResultadoAulixhorario.xml"
    run 1 "$work/out" "$work/err" -- "$CLI" importar "$work/delphos/horario.xml" --exchange "$work/atemp"
    grep -qi "SOLUC" "$work/err" || fail "the error does not name SOLUC: $(cat "$work/err")"
    [ ! -s "$work/out" ] || fail "stdout not empty: $(cat "$work/out")"
    [ "$(cat "$work/delphos/ResultadoAulixhorario.xml")" = "older" ] || fail "the older result changed"
    [ "$(ls "$work/delphos" | wc -l)" -eq 2 ] || fail "files left behind: $(ls "$work/delphos")"
    ;;
sample)
    # The bundled sample: export it, take the bundled SOLUC, import, and check the result
    # against an independent rebuild from the tables.
    sample=$(ls "$SOURCE_DIR"/samples/*.xml 2>/dev/null | head -n 1)
    [ -n "$sample" ] || { fail "no sample document in samples/"; exit 1; }
    [ -f "$SOURCE_DIR/samples/SOLUC.DBF" ] || { fail "samples/SOLUC.DBF is missing"; exit 1; }
    mkdir -p "$work/atemp" "$work/delphos"
    cp "$sample" "$work/delphos/"
    chosen="$work/delphos/$(basename "$sample")"
    run 0 "$work/out" "$work/err" -- "$CLI" exportar "$chosen" --exchange "$work/atemp"
    cp "$SOURCE_DIR/samples/SOLUC.DBF" "$work/atemp/SOLUC.DBF"
    run 0 "$work/out" "$work/err" -- "$CLI" importar "$chosen" --exchange "$work/atemp"
    result="$work/delphos/ResultadoAulix$(basename "$sample")"
    [ -f "$result" ] || fail "no result file $result"
    cmp -s "$sample" "$chosen" || fail "the chosen document changed"
    if ! oracle=$("$PYTHON" "$SOURCE_DIR/tests/data/import/check_result.py" "$chosen" "$result" "$work/atemp"); then
        fail "result differs from the tables: $oracle"
    else
        read -r _ teachers _ activities <<<"$oracle"
        expected=$(printf 'Proceso finalizado\nDocumento de resultado: %s\nSecciones de profesor: %s\nEntradas de actividad: %s' \
            "$result" "$teachers" "$activities")
        [ "$(cat "$work/out")" = "$expected" ] || fail "stdout:
$(cat "$work/out")
expected:
$expected"
        [ "$activities" -gt 0 ] || fail "the sample gives no activities"
    fi
    ;;
*)
    echo "usage: $0 usage|no-file|failed|sample" >&2
    exit 2
    ;;
esac

[ "$failures" -eq 0 ] && echo "ok" || exit 1
