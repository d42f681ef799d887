#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# Purpose: writes the fuzz seeds in tests/data/fuzz: small tables of every dBase family we read, and small documents.
"""Usage: make_seeds.py [DATA_DIR]   (default: tests/data/fuzz beside this script)

Seeds only start the fuzzers off; regression inputs (regresion-*) live beside them and are
never rewritten here."""
import os
import re
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def dbase3(fields, rows, version=0x03, ldid=0x57, deleted=(), count=None):
    """fields: (name, type, width, decimals); rows: tuples of already padded bytes."""
    record_length = 1 + sum(f[2] for f in fields)
    header_length = 32 + 32 * len(fields) + 1
    out = bytearray(struct.pack("<BBBBIHH", version, 124, 5, 17, len(rows) if count is None else count,
                                header_length, record_length))
    out += bytes(17) + bytes([ldid]) + bytes(2)
    for name, ftype, width, decimals in fields:
        out += name.encode("ascii").ljust(11, b"\0") + ftype.encode("ascii") + bytes(4)
        out += bytes([width & 0xFF, decimals]) + bytes(14)
    out += b"\x0d"
    for i, row in enumerate(rows):
        out += (b"*" if i in deleted else b" ") + b"".join(row)
    out += b"\x1a"
    return bytes(out)


def text(value, width, encoding="cp1252"):
    return value.encode(encoding).ljust(width, b" ")[:width]


def number(value, width):
    return str(value).encode("ascii").rjust(width, b" ") if value is not None else b" " * width


SOLUC_FIELDS = [("PROF", "C", 4, 0), ("DIA", "N", 11, 0), ("HORA", "N", 11, 0), ("ASIG", "C", 4, 0),
                ("AULA", "C", 4, 0), ("CODGRUPO", "C", 4, 0)]


def soluc_rows(rows):
    return [(text(p, 4), number(d, 11), number(h, 11), text(a, 4), text(r, 4), text(g, 4)) for p, d, h, a, r, g in rows]


def level7():
    """dBase 7: 68-byte header, 48-byte descriptors, big-endian binary fields."""
    fields = [("PROF", "C", 4), ("DIA", "I", 4), ("HORA", "+", 4), ("NOTA", "O", 8), ("CUANDO", "@", 8)]
    record_length = 1 + sum(f[2] for f in fields)
    header_length = 68 + 48 * len(fields) + 1
    out = bytearray(struct.pack("<BBBBIHH", 0x04, 124, 5, 17, 2, header_length, record_length))
    out += bytes(20) + b"DBWINUS0".ljust(32, b"\0") + bytes(4)
    for name, ftype, width in fields:
        out += name.encode().ljust(32, b"\0") + ftype.encode() + bytes([width, 0]) + bytes(13)
    out += b"\x0d"
    for prof, day, hour, grade, when in (("P1", 1, 1, 7.5, 63839232000000.0), ("O'B", 2, 2, -1.25, 0.0)):
        grade_bits = struct.unpack(">Q", struct.pack(">d", grade))[0]
        grade_bits = grade_bits ^ (1 << 63) if grade >= 0 else grade_bits ^ 0xFFFFFFFFFFFFFFFF
        out += b" " + text(prof, 4) + struct.pack(">I", day ^ 0x80000000) + struct.pack(">I", hour ^ 0x80000000)
        out += struct.pack(">Q", grade_bits) + struct.pack(">d", when)
    out += b"\x1a"
    return bytes(out)


def visual_foxpro():
    """Visual FoxPro with a nullable integer, a varchar, currency, datetime and the backlink."""
    fields = [("PROF", "C", 4, 0, 0), ("DIA", "I", 4, 0, 0x02), ("NOMBRE", "V", 10, 0, 0x02),
              ("PRECIO", "Y", 8, 0, 0), ("CUANDO", "T", 8, 0, 0), ("NOTA", "B", 8, 2, 0),
              ("_NullFlags", "0", 1, 0, 0x05)]
    record_length = 1 + sum(f[2] for f in fields)
    header_length = 32 + 32 * len(fields) + 1 + 263
    out = bytearray(struct.pack("<BBBBIHH", 0x30, 124, 5, 17, 2, header_length, record_length))
    out += bytes(17) + bytes([0x03]) + bytes(2)
    offset = 1
    for name, ftype, width, decimals, flags in fields:
        out += name.encode().ljust(11, b"\0") + ftype.encode() + struct.pack("<I", offset)
        out += bytes([width, decimals, flags]) + bytes(13)
        offset += width
    out += b"\x0d" + bytes(263)
    rows = [("P1", 1, "Ana", 12345, (2460000, 3600000), 2.5, 0b010),
            ("O'B", 0, "Luis", -5, (0, 0), -0.5, 0b101)]
    for prof, day, name, price, (julian, ms), grade, nulls in rows:
        varchar = name.encode().ljust(9, b"\0") + bytes([len(name)])
        out += b" " + text(prof, 4) + struct.pack("<i", day) + varchar + struct.pack("<q", price)
        out += struct.pack("<ii", julian, ms) + struct.pack("<d", grade) + bytes([nulls])
    out += b"\x1a"
    return bytes(out)


def foxpro_wide():
    """FoxPro 2: a character field of 300 bytes, the decimals byte holding the width's high byte."""
    fields = [("PROF", "C", 4, 0), ("NOTAS", "C", 300 & 0xFF, 300 >> 8)]
    record_length = 1 + 4 + 300
    header_length = 32 + 64 + 1
    out = bytearray(struct.pack("<BBBBIHH", 0xF5, 124, 5, 17, 1, header_length, record_length))
    out += bytes(17) + bytes([0x01]) + bytes(2)
    for name, ftype, width, decimals in fields:
        out += name.encode().ljust(11, b"\0") + ftype.encode() + bytes(4) + bytes([width, decimals]) + bytes(14)
    out += b"\x0d" + b" " + text("P1", 4) + text("x" * 299 + "y", 300) + b"\x1a"
    return bytes(out)


def tables():
    school = [("P1", 1, 1, "MAT", "A1", "1A"), ("O'B", 2, 2, "LEN", "A1", "1A"), ("P1", 0, 3, "MAT", "A1", "1A"),
              ("P1", 9, 1, "XX", "ZZ", "9Z"), ("P1", None, None, "", "", "")]
    text_fields = [("PROF", "C", 4, 0), ("DIA", "C", 2, 0), ("HORA", "C", 2, 0), ("ASIG", "C", 4, 0),
                   ("AULA", "C", 4, 0), ("CODGRUPO", "C", 4, 0)]
    text_rows = [(text(p, 4), text(d, 2), text(h, 2), text(a, 4), text(r, 4), text(g, 4))
                 for p, d, h, a, r, g in (("P1", "1", "1", "MAT", "A1", "1A"), ("O'B", " 2", "02", "LEN", "A1", "1A"),
                                          ("P1", "L", "1", "MAT", "A1", "1A"))]
    return {
        "soluc_numerica.dbf": dbase3(SOLUC_FIELDS, soluc_rows(school)),
        "soluc_texto_borrados.dbf": dbase3(text_fields, text_rows, ldid=0x02, deleted={1}),
        "soluc_vacia.dbf": dbase3(SOLUC_FIELDS, []),
        "soluc_memo_dbase4.dbf": dbase3(SOLUC_FIELDS + [("OBS", "M", 10, 0), ("F", "F", 12, 3), ("D", "D", 8, 0),
                                                        ("L", "L", 1, 0)],
                                        [r + (b"         1", b"   -12.500e3", b"20240229", b"T")
                                         for r in soluc_rows(school[:2])], version=0x8B),
        "dbase7.dbf": level7(),
        "visual_foxpro.dbf": visual_foxpro(),
        "foxpro_ancho.dbf": foxpro_wide(),
    }


def documents():
    with open(os.path.join(HERE, "..", "data", "export", "edge_cases.xml"), "rb") as f:
        edge = f.read()
    with open(os.path.join(HERE, "fuzz_drivers.h"), encoding="utf-8") as f:
        drivers = f.read()
    school = re.search(r'kSchoolDocument = R"\((.*?)\)";', drivers, re.S).group(1)
    utf16 = '<?xml version="1.0" encoding="UTF-16"?><SERVICIO><SALIDAS><listasal seq="AULAS"><listasal>' \
            '<salida>A1</salida><salida>Aula €</salida></listasal></listasal></SALIDAS></SERVICIO>'
    return {
        "escuela.xml": school.encode("ascii"),
        "casos_limite.xml": edge,
        "utf16.xml": b"\xff\xfe" + utf16.encode("utf-16-le"),
        "entidades.xml": b'<?xml version="1.0" encoding="ISO-8859-1"?>\n<!DOCTYPE SERVICIO [\n'
                         b'<!ENTITY centro "IES &#241; <b>x</b>">\n<!ENTITY fuera SYSTEM "file:///etc/hostname">\n]>\n'
                         b'<SERVICIO><ENTRADAS>&fuera;</ENTRADAS><SALIDAS><listasal seq="MATERIAS"><listasal>'
                         b'<salida>G1</salida><salida>&centro;</salida></listasal></listasal></SALIDAS></SERVICIO>\n',
        "dos_salidas.xml": b'<SERVICIO xmlns:a="urn:a" a:v="1"><SALIDAS><listasal seq="TRAMOS"><listasal>'
                           b'<salida dato="NOMBRE" xml:space="preserve">  L1 </salida><salida dato="CODIGO_DELPHOS">'
                           b'<![CDATA[T<1>]]></salida></listasal></listasal></SALIDAS><!-- c --><?pi x?>'
                           b'<SALIDAS><listasal seq="PROFESORES"><listasal><salida>E1</salida><salida>F</salida>'
                           b'</listasal></listasal></SALIDAS></SERVICIO>',
        "espacio_de_nombres.xml": b'<SERVICIO xmlns="urn:x"><SALIDAS><listasal seq="AULAS"><listasal><salida>A'
                                  b'</salida><salida>B</salida></listasal></listasal></SALIDAS></SERVICIO>',
        "minutos_malos.xml": b'<SERVICIO><SALIDAS><listasal seq="ASIGNATURAS"><listasal><salida>MAT</salida>'
                             b'<salida>1A</salida><salida/><salida/><salida/><salida/><salida/><salida>$7FFFFFFF'
                             b'</salida><salida>M</salida></listasal></listasal></SALIDAS></SERVICIO>',
    }


def main():
    data = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "data", "fuzz")
    for folder, files in (("tables", tables()), ("documents", documents())):
        os.makedirs(os.path.join(data, folder), exist_ok=True)
        for name, content in files.items():
            with open(os.path.join(data, folder, name), "wb") as f:
                f.write(content)


if __name__ == "__main__":
    main()
