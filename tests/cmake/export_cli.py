#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# Purpose: end-to-end checks of "enlazio-cli exportar": exit statuses and messages, and the six
# tables read back with an independent dBase reader (Debian's python3-dbfread).
"""Usage: export_cli.py CASE

Environment: ENLAZIO_CLI (the enlazio-cli executable), ENLAZIO_SOURCE_DIR (the project root).
Cases: edge_tables, sample_tables, default_exchange, exit_failed, broken_document, exit_usage,
exit_nofile, help_version.
"""
import glob
import json
import math
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

try:
    import dbfread
except ImportError:
    # Must fail, not skip: without the reader nothing below is checked.
    sys.exit("FALLO: falta python3-dbfread; instálelo con apt-get install python3-dbfread")

CLI = os.environ["ENLAZIO_CLI"]
SOURCE = os.environ["ENLAZIO_SOURCE_DIR"]
DATA = os.path.join(SOURCE, "tests", "data", "export")
TABLES = ["ASIGNOMT", "PROFT", "AULAT", "GRUPOST", "ASIGT", "DIASHORAST"]
ANSI_LANGUAGE_DRIVER = 0x57


class CheckFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CheckFailed(message)


def run(*args, env=None):
    full_env = dict(os.environ)
    full_env.update(env or {})
    return subprocess.run([CLI, "exportar", *args], capture_output=True, text=True, env=full_env)


def snapshot(folder):
    """Names and bytes of every file in folder."""
    result = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            result[name] = f.read()
    return result


def read_tables(folder):
    """{table: {"fields": [[name, type, width, decimals]], "records": [[values]]}} via dbfread."""
    tables = {}
    for name in TABLES:
        path = os.path.join(folder, name + ".DBF")
        check(os.path.isfile(path), f"{name}.DBF no existe")
        table = dbfread.DBF(path, load=True, ignorecase=False)
        check(table.header.language_driver == ANSI_LANGUAGE_DRIVER,
              f"{name}: language driver {table.header.language_driver:#x}, se esperaba 0x57")
        tables[name] = {
            "fields": [[f.name, f.type, f.length, f.decimal_count] for f in table.fields],
            "records": [list(record.values()) for record in table.records],
        }
    return tables


def same_value(got, expected):
    if isinstance(expected, (int, float)) and not isinstance(expected, bool):
        # HORAS keeps four decimals; 61 minutes are 1.0167 hours.
        return isinstance(got, (int, float)) and abs(got - expected) <= 1e-4
    return got == expected


def compare_tables(got, expected, label):
    for name in TABLES:
        g, e = got[name], expected[name]
        check(g["fields"] == e["fields"], f"{label} {name}: campos {g['fields']} != {e['fields']}")
        check(len(g["records"]) == len(e["records"]),
              f"{label} {name}: {len(g['records'])} registros, se esperaban {len(e['records'])}:\n"
              + "\n".join(map(repr, g["records"])))
        for i, (gr, er) in enumerate(zip(g["records"], e["records"])):
            check(len(gr) == len(er) and all(same_value(a, b) for a, b in zip(gr, er)),
                  f"{label} {name} registro {i + 1}: {gr!r} != {er!r}")


def expected_stdout(counts):
    lines = ["Proceso finalizado"]
    for name in TABLES:
        n = counts[name]
        lines.append(f"{name}: {n} {'registro' if n == 1 else 'registros'}")
    return "\n".join(lines) + "\n"


# --- An independent reading of the service document, to compare the tables with. ---

BLANKS = "".join(chr(c) for c in range(0x21))


def ansi(text):
    return text.strip(BLANKS).encode("cp1252", "replace")


def stored(value, width):
    """What a dBase reader gives back for 8-bit text stored in a field of that width."""
    return value[:width].rstrip(b"\0 ").decode("cp1252")


def section_entries(root, seq):
    if root.tag != "SERVICIO":
        return []
    return [entry for salidas in root.findall("SALIDAS") for section in salidas.findall("listasal")
            if section.get("seq") == seq for entry in section.findall("listasal")]


def positions(entry, count):
    values = [ansi("".join(v.itertext())) for v in entry.findall("salida")]
    return values + [b""] * (count - len(values)), len(values)


def str_to_int(text):
    body, sign = text, 1
    if body[:1] in (b"+", b"-"):
        sign = -1 if body[:1] == b"-" else 1
        body = body[1:]
    for prefix in (b"0x", b"0X", b"$", b"x", b"X"):
        if body.startswith(prefix):
            digits = body[len(prefix):]
            if not digits or len(digits) > 8 or any(c not in b"0123456789abcdefABCDEF" for c in digits):
                return None
            value = (sign * int(digits, 16)) & 0xFFFFFFFF
            return value - (1 << 32) if value >= 1 << 31 else value
    if not body or any(c not in b"0123456789" for c in body):
        return None
    value = sign * int(body)
    return value if -(1 << 31) <= value < (1 << 31) else None


def oracle(document):
    root = ET.parse(document).getroot()
    result = {name: [] for name in TABLES}

    codes = set()
    for entry in section_entries(root, "MATERIAS"):
        v, m = positions(entry, 4)
        folded = v[1].decode("cp1252").lower()
        if m < 2 or folded in codes:
            continue
        codes.add(folded)
        result["ASIGNOMT"].append([stored(v[1], 4), stored(v[2], 8), stored(v[3], 40), stored(v[0], 8)])
    for entry in section_entries(root, "PROFESORES"):
        v, m = positions(entry, 4)
        if m >= 2:
            result["PROFT"].append([stored(v[3], 4), stored(v[2], 40), "", None, stored(v[0], 10),
                                    stored(v[1], 10)])
    for entry in section_entries(root, "AULAS"):
        v, m = positions(entry, 4)
        if m >= 2:
            code = v[1] or v[0]
            result["AULAT"].append([stored(code, 4), stored(v[2], 40), stored(v[3], 1), None, stored(v[0], 10)])
    for entry in section_entries(root, "GRUPOS"):
        v, m = positions(entry, 6)
        if m >= 2:
            result["GRUPOST"].append([stored(v[1], 4), stored(v[2], 1), stored(v[3] or b"NIV", 5),
                                      stored(v[4], 3), stored(v[5], 2), stored(v[0], 10)])
    for entry in section_entries(root, "ASIGNATURAS"):
        v, m = positions(entry, 9)
        if m < 2:
            continue
        hours = 0.0
        if v[7]:
            minutes = str_to_int(v[7])
            if minutes is None:
                break  # the run stops here
            hours = minutes / 60
        hours = max(hours, 1.0)
        n = math.ceil(round(hours, 4))
        pattern = "1" * n if n <= 13 else str(n - 13) + "1" * 13
        result["ASIGT"].append([stored(v[0], 4), "", stored(v[1], 4), stored(v[2], 4), stored(v[3], 1),
                                stored(v[4] or b"NIV", 5), stored(v[5], 3), stored(v[6], 2), hours,
                                stored(pattern.encode(), 20), stored(v[8], 10)])
    fields = {"CODIGO_DELPHOS": "code", "NOMBRE": "name", "DIA": "name", "INICIO": "start",
              "FIN": "end", "NINUTOS": "minutes"}
    for entry in section_entries(root, "TRAMOS"):
        slot = dict.fromkeys(fields.values(), b"")
        for value in entry.findall("salida"):
            if value.get("dato") in fields:
                slot[fields[value.get("dato")]] = ansi("".join(value.itertext()))
        name = slot["name"]
        day = name[:1]
        if day and day in b"LMXJVSD":
            day = str(b"LMXJVSD".index(day) + 1).encode()
        result["DIASHORAST"].append([stored(name, 10), stored(slot["code"], 10), stored(day, 20), "",
                                     stored(name[1:3], 8), stored(slot["start"], 8), stored(slot["end"], 8),
                                     stored(slot["minutes"], 8)])
    return result


def layouts():
    with open(os.path.join(DATA, "edge_cases.expected.json"), encoding="utf-8") as f:
        return {name: table["fields"] for name, table in json.load(f).items()}


# --- Cases ---

def case_edge_tables():
    with open(os.path.join(DATA, "edge_cases.expected.json"), encoding="utf-8") as f:
        expected = json.load(f)
    document = os.path.join(DATA, "edge_cases.xml")
    # The oracle must agree with the hand-written expectations before it may judge the sample.
    compare_tables({n: {"fields": expected[n]["fields"], "records": r} for n, r in oracle(document).items()},
                   expected, "lectura independiente")
    with tempfile.TemporaryDirectory() as exchange:
        # An old index and a stale lower-case copy of a table must not survive the run.
        for stale in ("ASIGNOMT.MDX", "asignomt.dbf", "DIASHORAST.MDX"):
            with open(os.path.join(exchange, stale), "wb") as f:
                f.write(b"viejo")
        result = run(document, "--exchange", exchange)
        check(result.returncode == 0, f"estado {result.returncode}, stderr {result.stderr!r}")
        check(result.stderr == "", f"stderr {result.stderr!r}")
        counts = {name: len(expected[name]["records"]) for name in TABLES}
        check(result.stdout == expected_stdout(counts), f"stdout {result.stdout!r}")
        check(sorted(os.listdir(exchange)) == sorted(n + ".DBF" for n in TABLES),
              f"la carpeta contiene {sorted(os.listdir(exchange))}")
        compare_tables(read_tables(exchange), expected, "edge_cases.xml")


def case_sample_tables():
    samples = sorted(glob.glob(os.path.join(SOURCE, "samples", "*.xml")))
    check(samples, "no hay documentos de muestra en samples/")
    fields = layouts()
    for document in samples:
        expected = {n: {"fields": fields[n], "records": r} for n, r in oracle(document).items()}
        check(any(expected[n]["records"] for n in TABLES), f"{document}: la muestra no tiene datos")
        with tempfile.TemporaryDirectory() as exchange:
            result = run(document, "--exchange", exchange)
            check(result.returncode == 0, f"{document}: estado {result.returncode}, stderr {result.stderr!r}")
            counts = {n: len(expected[n]["records"]) for n in TABLES}
            check(result.stdout == expected_stdout(counts), f"{document}: stdout {result.stdout!r}")
            compare_tables(read_tables(exchange), expected, os.path.basename(document))


def case_default_exchange():
    # Without --exchange the tables go to C:\ATEMP, found whatever the case of its name here.
    with tempfile.TemporaryDirectory() as drive_c:
        exchange = os.path.join(drive_c, "atemp")
        os.mkdir(exchange)
        result = run(os.path.join(DATA, "mitad_correcto.xml"), env={"ENLAZIO_DRIVE_C": drive_c})
        check(result.returncode == 0, f"estado {result.returncode}, stderr {result.stderr!r}")
        check(sorted(os.listdir(exchange)) == sorted(n + ".DBF" for n in TABLES),
              f"la carpeta contiene {sorted(os.listdir(exchange))}")
        check(os.listdir(drive_c) == ["atemp"], f"C: contiene {os.listdir(drive_c)}")


def case_exit_failed():
    # Bad minutes in the third teaching assignment: the first four tables are rebuilt, ASIGT
    # keeps the two records before it, DIASHORAST keeps its old content.
    with tempfile.TemporaryDirectory() as exchange:
        old_slots = b"contenido anterior de DIASHORAST"
        with open(os.path.join(exchange, "DIASHORAST.DBF"), "wb") as f:
            f.write(old_slots)
        result = run(os.path.join(DATA, "mitad.xml"), "--exchange", exchange)
        check(result.returncode == 1, f"estado {result.returncode}")
        check(result.stderr == "'45.5' no es un valor entero válido\n", f"stderr {result.stderr!r}")
        check("Proceso finalizado" not in result.stdout, f"stdout {result.stdout!r}")
        with open(os.path.join(exchange, "DIASHORAST.DBF"), "rb") as f:
            check(f.read() == old_slots, "DIASHORAST.DBF ha cambiado")
        counts = {}
        for name in TABLES[:5]:
            counts[name] = len(dbfread.DBF(os.path.join(exchange, name + ".DBF"), load=True).records)
        check(counts == {"ASIGNOMT": 2, "PROFT": 1, "AULAT": 1, "GRUPOST": 1, "ASIGT": 2}, f"registros {counts}")
        asigt = [r["CASIG"] for r in dbfread.DBF(os.path.join(exchange, "ASIGT.DBF"), load=True).records]
        check(asigt == ["MAT1", "LENG"], f"ASIGT {asigt}")


def case_broken_document():
    with tempfile.TemporaryDirectory() as work:
        exchange = os.path.join(work, "atemp")
        os.mkdir(exchange)
        with open(os.path.join(exchange, "ASIGNOMT.DBF"), "wb") as f:
            f.write(b"tabla anterior")
        document = os.path.join(work, "roto.xml")
        with open(document, "w", encoding="utf-8") as f:
            f.write('<SERVICIO><SALIDAS><listasal seq="MATERIAS"></SALIDAS>')
        before = snapshot(exchange)
        result = run(document, "--exchange", exchange)
        check(result.returncode == 1, f"estado {result.returncode}")
        check("roto.xml" in result.stderr, f"stderr {result.stderr!r}")
        check(snapshot(exchange) == before, "la carpeta de intercambio ha cambiado")


def case_exit_usage():
    document = os.path.join(DATA, "mitad_correcto.xml")
    for args in ([], ["--exchange"], [document, "--exchange"], [document, "--exchange="], [document, "--nada"],
                 [document, document]):
        result = run(*args)
        check(result.returncode == 2, f"{args}: estado {result.returncode}")
        check("uso: enlazio-cli exportar ARCHIVO [--exchange DIR]" in result.stderr,
              f"{args}: stderr {result.stderr!r}")
        check(result.stdout == "", f"{args}: stdout {result.stdout!r}")


def case_exit_nofile():
    with tempfile.TemporaryDirectory() as work:
        exchange = os.path.join(work, "atemp")
        os.mkdir(exchange)
        with open(os.path.join(exchange, "ASIGNOMT.DBF"), "wb") as f:
            f.write(b"tabla anterior")
        with open(os.path.join(exchange, "ASIGNOMT.MDX"), "wb") as f:
            f.write(b"indice anterior")
        before = snapshot(exchange)
        for missing in (os.path.join(work, "no_existe.xml"), work, ""):
            result = run(missing, "--exchange", exchange)
            check(result.returncode == 3, f"{missing!r}: estado {result.returncode}")
            check(result.stderr == "No existe archivo\n", f"{missing!r}: stderr {result.stderr!r}")
            check(result.stdout == "", f"{missing!r}: stdout {result.stdout!r}")
            check(snapshot(exchange) == before, f"{missing!r}: la carpeta de intercambio ha cambiado")


def case_help_version():
    result = run("--help")
    check(result.returncode == 0 and result.stdout.startswith("uso: enlazio-cli exportar"),
          f"--help: {result.returncode} {result.stdout!r}")
    result = run("--version")
    check(result.returncode == 0 and result.stdout.startswith("enlazio-cli "),
          f"--version: {result.returncode} {result.stdout!r}")


CASES = {name[len("case_"):]: f for name, f in globals().items() if name.startswith("case_")}

if __name__ == "__main__":
    if len(sys.argv) != 2 or sys.argv[1] not in CASES:
        sys.exit(__doc__)
    try:
        CASES[sys.argv[1]]()
    except CheckFailed as failure:
        sys.exit(f"FALLO: {failure}")
    print("bien")
