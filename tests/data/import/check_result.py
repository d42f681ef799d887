#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# Purpose: an independent check of a result document: rebuilds what it must hold by walking the tables.
"""Usage: check_result.py CHOSEN.xml RESULT.xml EXCHANGE_DIR

Reads the tables with dbfread (not with the tool's own reader), rebuilds the expected
document literally, with a walk from the first row for every lookup, and compares it
element by element with RESULT.xml. Prints "profesores N actividades M" and exits 0 when
they agree; prints the first difference and exits 1 otherwise.
"""

import os
import sys
import xml.etree.ElementTree as ET

from dbfread import DBF

DAY_LETTERS = {"1": "L", "2": "M", "3": "X", "4": "J", "5": "V", "6": "S", "7": "D"}


def table(folder, name):
    for entry in sorted(os.listdir(folder)):
        if entry.lower() == (name + ".dbf").lower():
            return list(DBF(os.path.join(folder, entry), encoding="cp1252", char_decode_errors="strict"))
    sys.exit("check_result: no table %s in %s" % (name, folder))


def as_text(value):
    if value is None:
        return ""
    if isinstance(value, float) and value.is_integer():
        return str(int(value))
    return str(value).rstrip(" ")


def as_integer(value):
    if value is None or value == "":
        return 0
    if isinstance(value, (int, float)):
        return int(round(value))
    return int(value)


def first(rows, predicate):
    for row in rows:
        if predicate(row):
            return row
    return None


def salida(parent, dato, text):
    element = ET.SubElement(parent, "salida", {"dato": dato})
    element.text = text or None


def expected_output(target, folder):
    soluc = table(folder, "SOLUC")
    grupos = table(folder, "GRUPOST")
    profesores = table(folder, "PROFT")
    aulas = table(folder, "AULAT")
    nomasig = table(folder, "ASIGNOMT")
    tramos = table(folder, "DIASHORAST")
    asig = None
    status = ET.SubElement(target, "ERROR")
    salida(status, "CN_ERROR", "0")
    salida(status, "TE_ERROR", "Servicio finalizado Correctamente")
    teachers = activities = 0
    for number, teacher in enumerate(profesores, start=1):
        section = ET.SubElement(target, "listasal", {"seq": "EMPLEADO_%d" % number})
        salida(section, "X_EMPLEADO", as_text(teacher["X_EMPLEADO"]))
        salida(section, "F_TOMAPOS", as_text(teacher["F_TOMAPOS"]))
        teachers += 1
        code = as_text(teacher["ABREV"])
        activity = 1
        for row in soluc:
            if as_text(row["PROF"]) != code or as_integer(row["DIA"]) == 0:
                continue
            entry = ET.SubElement(section, "listasal", {"seq": "ACTIVIDAD_%d" % activity})
            activity += 1
            activities += 1
            subject = as_text(row["ASIG"])
            match = first(nomasig, lambda r: as_text(r["COD"]) == subject)
            materia = as_text(match["MATERIA"]) if match else ""
            salida(entry, "X_ACTIVIDAD", materia if materia.startswith("G") else "G439")
            key = DAY_LETTERS.get(as_text(row["DIA"]), "") + str(as_integer(row["HORA"]))
            match = first(tramos, lambda r: as_text(r["DIHO"]) == key)
            salida(entry, "N_DIASEMANA", as_text(match["DIA"]) if match else "")
            salida(entry, "X_TRAMO", as_text(match["CODDIHO"]) if match else "")
            room = as_text(row["AULA"])
            match = first(aulas, lambda r: as_text(r["ABREV"]) == room)
            salida(entry, "X_DEPCENTRO", as_text(match["DEPCENTRO"]) if match else "")
            group = as_text(row["CODGRUPO"])
            match = first(grupos, lambda r: as_text(r["ABREV"]) == group)
            salida(entry, "X_UNIDAD", as_text(match["UNIDAD"]) if match else "")
            if asig is None:
                asig = table(folder, "ASIGT")
            match = first(asig, lambda r: as_text(r["CASIG"]) == subject and as_text(r["CGRUP"]) == group)
            salida(entry, "X_MATERIAOMC", as_text(match["MATERIA"]) if match else "")
    return teachers, activities


def canonical(element, path="", out=None):
    """(path, tag, attributes, text) of every element, whitespace-only text as none."""
    if out is None:
        out = []
    text = element.text if element.text and element.text.strip() else ""
    out.append((path + "/" + element.tag, sorted(element.attrib.items()), text))
    for index, child in enumerate(element):
        canonical(child, "%s/%s[%d]" % (path, element.tag, index), out)
    return out


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    chosen, result, folder = argv[1:]
    expected = ET.parse(chosen).getroot()
    outputs = [child for child in expected if child.tag == "SALIDAS"]
    if not outputs:
        sys.exit("check_result: %s has no SALIDAS" % chosen)
    expected.remove(outputs[0])
    ET.SubElement(expected, "SALIDAS")
    target = next(child for child in expected if child.tag == "SALIDAS")
    teachers, activities = expected_output(target, folder)

    actual = canonical(ET.parse(result).getroot())
    wanted = canonical(expected)
    for index, (want, got) in enumerate(zip(wanted, actual)):
        if want != got:
            print("difference at element %d:\n  expected %r\n  found    %r" % (index, want, got))
            return 1
    if len(wanted) != len(actual):
        print("expected %d elements, found %d" % (len(wanted), len(actual)))
        return 1
    print("profesores %d actividades %d" % (teachers, activities))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
