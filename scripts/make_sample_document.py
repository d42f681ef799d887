#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# Purpose: writes samples/ies_fuente_nueva.xml, the invented school that the demo and the tests read.
"""Every name, code and identifier here is invented.

The document is what the school-management service hands out to the timetable tool:
ISO-8859-1 with its declaration, SERVICIO / SALIDAS / listasal seq=... / listasal / salida.
Run it again after changing the data: /usr/bin/python3 scripts/make_sample_document.py
"""

from pathlib import Path
from xml.sax.saxutils import escape, quoteattr

OUT = Path(__file__).resolve().parent.parent / "samples" / "ies_fuente_nueva.xml"

# (Delphos employee id, date the post was taken, name, teacher code)
TEACHERS = [
    ("4815203", "01/09/2009", "Álvarez Muñoz, María José", "MAM"),
    ("4815377", "01/09/2012", "Benítez Ruiz, Jesús", "JBR"),
    ("5102846", "01/09/2018", "Castaño Pérez, Begoña", "BCP"),
    ("4420915", "01/09/2004", "Díaz Núñez, Ángel", "ADN"),
    ("5239011", "15/09/2021", "Echevarría Gómez, Iñaki", "IEG"),
    ("4977102", "01/09/2015", "Fernández Sánchez, Lucía", "LFS"),
    ("3998420", "01/09/1999", "García Martín, José Ramón", "JGM"),
    ("5310774", "01/09/2023", "Gómez de la Peña, Inés", "IGP"),
    ("4700183", "01/09/2010", "Hernández Ortiz, Raúl", "RHO"),
    ("5011936", "01/09/2016", "Ibáñez Soler, Nuria", "NIS"),
    ("4862250", "01/09/2013", "Jiménez Carreño, Óscar", "OJC"),
    ("4155079", "01/09/2001", "López Morán, Concepción", "CLM"),
    ("5188463", "01/09/2019", "Martínez Peñalver, Sofía", "SMP"),
    ("4933617", "01/09/2014", "Navarro Gutiérrez, Andrés", "ANG"),
    ("5277380", "07/10/2022", "Ortega Vázquez, Mónica", "MOV"),
    ("4521764", "01/09/2006", "Pérez Galán, Tomás ", "TPG"),  # the service pads some names
    ("5066012", "01/09/2017", "Quintana Ríos, Elena", "EQR"),
    ("4389540", "01/09/2003", "Ramírez Acuña, Fermín", "FRA"),
    ("4744418", "01/09/2011", "Sáez Montaño, Pilar", "PSM"),
    ("5203359", "01/09/2020", "Torres Albéniz, Víctor", "VTA"),
    ("5325106", "12/01/2024", "Ureña Blázquez, Marta", "MUB"),
    ("4608893", "01/09/2008", "Vidal Cañete, Joaquín", "JVC"),
    ("5140227", "01/09/2019", "Zamora Ledesma, Rocío", "RZL"),
    ("4290364", "01/09/2002", "Aguilar Domínguez, Cristóbal", "CAD"),
    ("5251648", "01/09/2021", "Bermúdez Calvo, Ainhoa", "ABC"),
    ("4573905", "01/09/2007", "Cortés Villalón, Emilio", "ECV"),
    ("5299871", "01/09/2022", "Delgado Ayuso, Noemí", "NDA"),
    ("4891142", "01/09/2013", "Fuentes Ordóñez, Rubén", "RFO"),
    ("5034578", "01/09/2016", "Gil Estévez, Maite", "MGE"),
    ("4066731", "01/09/2000", "Herrero Lázaro, Ramón", "RHL"),
    ("5318220", "02/11/2023", "O'Neill Bravo, Patricia", "POB"),
]

# (Delphos room id, room code, name, building); the assembly hall has no code of its own.
ROOMS = [
    ("R1A0011", "A11", "Aula 1.1", "A"),
    ("R1A0012", "A12", "Aula 1.2", "A"),
    ("R1A0013", "A13", "Aula 1.3", "A"),
    ("R1A0014", "A14", "Aula 1.4", "A"),
    ("R1A0015", "A15", "Aula 1.5", "A"),
    ("R1A0021", "A21", "Aula 2.1", "A"),
    ("R1A0022", "A22", "Aula 2.2", "A"),
    ("R1A0023", "A23", "Aula 2.3", "A"),
    ("R1A0024", "A24", "Aula 2.4", "A"),
    ("R1A0025", "A25", "Aula 2.5 (desdobles)", "A"),
    ("R2B0011", "B11", "Aula B.1 (Bachillerato)", "B"),
    ("R2B0012", "B12", "Aula B.2 (Bachillerato)", "B"),
    ("R2B0013", "B13", "Aula B.3 (Bachillerato)", "B"),
    ("R2B0014", "B14", "Aula B.4 (Bachillerato)", "B"),
    ("R2B0019", "LBG", "Laboratorio de Biología y Geología", "B"),
    ("R2B0020", "LFQ", "Laboratorio de Física y Química", "B"),
    ("R1A0030", "TEC", "Taller de Tecnología", "A"),
    ("R1A0031", "INF", "Aula de Informática", "A"),
    ("R1A0032", "MUS", "Aula de Música", "A"),
    ("R1A0033", "PLA", "Aula de Plástica", "A"),
    ("R1A0034", "IDI", "Aula de Audiovisuales & Idiomas", "A"),
    ("R3P0001", "GIM", "Gimnasio", "P"),
    ("R3P0002", "PIS", "Pista polideportiva", "P"),
    ("R1A0040", "", "Salón de actos", "A"),
]

# (Delphos unit id, group code, shift, level, course, group, home room); the
# curricular diversification group comes without a level.
GROUPS = [
    ("7310201", "1ESA", "M", "ESO", "1º", "A", "A11"),
    ("7310202", "1ESB", "M", "ESO", "1º", "B", "A12"),
    ("7310203", "1ESC", "M", "ESO", "1º", "C", "A13"),
    ("7310204", "2ESA", "M", "ESO", "2º", "A", "A14"),
    ("7310205", "2ESB", "M", "ESO", "2º", "B", "A15"),
    ("7310206", "3ESA", "M", "ESO", "3º", "A", "A21"),
    ("7310207", "3ESB", "M", "ESO", "3º", "B", "A22"),
    ("7310208", "3PDC", "M", "", "3º", "D", "A25"),
    ("7310209", "4ESA", "M", "ESO", "4º", "A", "A23"),
    ("7310210", "4ESB", "M", "ESO", "4º", "B", "A24"),
    ("7310211", "1BCT", "M", "BACH", "1º", "A", "B11"),
    ("7310212", "1BHS", "M", "BACH", "1º", "B", "B12"),
    ("7310213", "2BCT", "M", "BACH", "2º", "A", "B13"),
    ("7310214", "2BHS", "M", "BACH", "2º", "B", "B14"),
]

# Subjects by course: (code stem, name, weekly sessions, special room or None).
ESO_SUBJECTS = {
    "1": [("LEN", "Lengua Castellana y Literatura", 4, None), ("MAT", "Matemáticas", 4, None),
          ("ING", "Inglés", 4, "IDI"), ("GEH", "Geografía e Historia", 3, None),
          ("BYG", "Biología y Geología", 3, "LBG"), ("EF", "Educación Física", 2, "GIM"),
          ("MUS", "Música", 2, "MUS"), ("PLA", "Educación Plástica, Visual y Audiovisual", 2, "PLA"),
          ("FRA", "Francés (Segunda Lengua Extranjera)", 2, None), ("REL", "Religión Católica", 1, None),
          ("TUT", "Tutoría", 1, None)],
    "2": [("LEN", "Lengua Castellana y Literatura", 4, None), ("MAT", "Matemáticas", 4, None),
          ("ING", "Inglés", 3, "IDI"), ("GEH", "Geografía e Historia", 3, None),
          ("FYQ", "Física y Química", 3, "LFQ"), ("EF", "Educación Física", 2, "GIM"),
          ("TEC", "Tecnología y Digitalización", 3, "TEC"), ("MUS", "Música", 2, "MUS"),
          ("FRA", "Francés (Segunda Lengua Extranjera)", 2, None), ("VAL", "Atención Educativa", 1, None),
          ("TUT", "Tutoría", 1, None)],
    "3": [("LEN", "Lengua Castellana y Literatura", 4, None), ("MAT", "Matemáticas", 4, None),
          ("ING", "Inglés", 4, "IDI"), ("GEH", "Geografía e Historia", 3, None),
          ("BYG", "Biología y Geología", 2, "LBG"), ("FYQ", "Física y Química", 2, "LFQ"),
          ("EF", "Educación Física", 2, "GIM"), ("TEC", "Tecnología y Digitalización", 2, "TEC"),
          ("PLA", "Educación Plástica, Visual y Audiovisual", 2, "PLA"), ("ECV", "Educación en Valores Cívicos y Éticos", 1, None),
          ("REL", "Religión Católica", 1, None), ("TUT", "Tutoría", 1, None)],
    "4": [("LEN", "Lengua Castellana y Literatura", 4, None), ("MAT", "Matemáticas B", 4, None),
          ("ING", "Inglés", 4, "IDI"), ("GEH", "Geografía e Historia", 3, None),
          ("EF", "Educación Física", 2, "GIM"), ("BYG", "Biología y Geología", 3, "LBG"),
          ("FYQ", "Física y Química", 3, "LFQ"), ("DIG", "Digitalización", 3, "INF"),
          ("LAT", "Latín", 3, None), ("REL", "Religión Católica", 1, None), ("TUT", "Tutoría", 1, None)],
}
BACH_SUBJECTS = {
    ("1", "CT"): [("LEN", "Lengua Castellana y Literatura I", 3, None), ("ING", "Inglés I", 3, "IDI"),
                  ("FIL", "Filosofía", 3, None), ("EF", "Educación Física", 2, "GIM"),
                  ("MAT", "Matemáticas I", 4, None), ("FYQ", "Física y Química", 4, "LFQ"),
                  ("BGA", "Biología, Geología y Ciencias Ambientales", 4, "LBG"), ("TIN", "Tecnología e Ingeniería I", 4, "TEC")],
    ("1", "HS"): [("LEN", "Lengua Castellana y Literatura I", 3, None), ("ING", "Inglés I", 3, "IDI"),
                  ("FIL", "Filosofía", 3, None), ("EF", "Educación Física", 2, "GIM"),
                  ("LAT", "Latín I", 4, None), ("MCS", "Matemáticas Aplicadas a las Ciencias Sociales I", 4, None),
                  ("ECO", "Economía", 4, None), ("HMC", "Historia del Mundo Contemporáneo", 4, None)],
    ("2", "CT"): [("LEN", "Lengua Castellana y Literatura II", 3, None), ("ING", "Inglés II", 3, "IDI"),
                  ("HES", "Historia de España", 3, None), ("HFI", "Historia de la Filosofía", 3, None),
                  ("MAT", "Matemáticas II", 4, None), ("FIS", "Física", 4, "LFQ"),
                  ("QUI", "Química", 4, "LFQ"), ("BIO", "Biología", 4, "LBG")],
    ("2", "HS"): [("LEN", "Lengua Castellana y Literatura II", 3, None), ("ING", "Inglés II", 3, "IDI"),
                  ("HES", "Historia de España", 3, None), ("HFI", "Historia de la Filosofía", 3, None),
                  ("LAT", "Latín II", 4, None), ("MCS", "Matemáticas Aplicadas a las Ciencias Sociales II", 4, None),
                  ("GEO", "Geografía", 4, None), ("HAR", "Historia del Arte", 4, None)],
}
SESSION_MINUTES = 55

DAYS = "LMXJV"
SLOTS = [("08:30", "09:25"), ("09:25", "10:20"), ("10:20", "11:15"),
         ("11:45", "12:40"), ("12:40", "13:35"), ("13:35", "14:30")]


def subject_id(serial):
    # Religion and tutoring come from other catalogues and have no G identifier.
    return "G%05d" % (40100 + serial)


def build_subjects():
    """One catalogue subject per course and stem: (id, code, long code, name, sessions, room)."""
    subjects = {}
    serial = 0
    for course, rows in ESO_SUBJECTS.items():
        for stem, name, sessions, room in rows:
            serial += 1
            ident = subject_id(serial)
            if stem == "REL":
                ident = "R%05d" % (700 + serial)
            elif stem == "TUT":
                ident = "T%05d" % (900 + serial)
            code = (stem + course)[:4]
            subjects[(course, "ESO", stem)] = (ident, code, code + "ESO", "%s (%sº ESO)" % (name, course), sessions, room)
    for (course, track), rows in BACH_SUBJECTS.items():
        for stem, name, sessions, room in rows:
            key = (course, "BACH", stem)
            if key in subjects:  # common subject of both tracks
                continue
            serial += 1
            code = stem[:2] + course + "B"  # four characters, the width of the code field
            subjects[key] = (subject_id(serial), code, code + "BAC" + course, "%s (%sº Bachillerato)" % (name, course),
                             sessions, room)
    return subjects


def salida(dato, text, indent):
    return '%s<salida dato=%s>%s</salida>' % (indent, quoteattr(dato), escape(text))


def section(seq, names, rows):
    lines = ['    <listasal seq="%s">' % seq]
    for row in rows:
        lines.append("      <listasal>")
        for dato, text in zip(names, row):
            lines.append(salida(dato, text, "        "))
        lines.append("      </listasal>")
    lines.append("    </listasal>")
    return lines


def main():
    subjects = build_subjects()

    materias = [(ident, code, long_code, name) for ident, code, long_code, name, _, _ in subjects.values()]
    # The service lists Physical Education of 1º ESO twice, once for the bilingual
    # programme, with the same code: the export keeps the first.
    first_ef = subjects[("1", "ESO", "EF")]
    materias.insert(6, ("G41901", first_ef[1], first_ef[2], "Educación Física (1º ESO, programa bilingüe)"))

    asignaturas = []
    for unit, group_code, shift, level, course, letter, home in GROUPS:
        if level == "BACH":
            track = "CT" if group_code.endswith("CT") else "HS"
            rows = BACH_SUBJECTS[(course[0], track)]
            kind = "BACH"
        else:
            rows = ESO_SUBJECTS[course[0]]
            kind = "ESO"
        for stem, _, sessions, room in rows:
            ident, code, _, _, _, _ = subjects[(course[0], kind, stem)]
            minutes = sessions * SESSION_MINUTES
            if group_code == "3PDC" and stem in ("LEN", "GEH"):
                continue  # taught as one field of knowledge in the diversification group
            asignaturas.append((code, group_code, room or home, shift, level, course, letter, str(minutes), ident))
        if group_code == "3PDC":
            asignaturas.append(("ASL", group_code, home, shift, level, course, letter, str(7 * SESSION_MINUTES),
                                "G41950"))
        if group_code == "2BCT":
            # A weekly laboratory practice of an hour and a half.
            asignaturas.append(("PLB", group_code, "LBG", shift, level, course, letter, "90", "G41960"))
    materias.append(("G41950", "ASL", "ASLPDC3", "Ámbito Sociolingüístico (3º ESO, diversificación)"))
    materias.append(("G41960", "PLB", "PLBBAC2", "Prácticas de Laboratorio (2º Bachillerato)"))

    tramos = []
    code = 2841
    for day in DAYS:
        for hour, (start, end) in enumerate(SLOTS, start=1):
            tramos.append((str(code), day + str(hour), start, end, str(SESSION_MINUTES)))
            code += 1

    lines = ['<?xml version="1.0" encoding="ISO-8859-1"?>',
             '<SERVICIO modulo="HORARIOS" version="2.5" fecha="16/09/2024 10:42:07">',
             '  <ENTRADAS>',
             '    <entrada dato="X_CENTRO">99009901</entrada>',
             '    <entrada dato="D_CENTRO">IES Fuente Nueva</entrada>',
             '    <entrada dato="C_ANNO">2024</entrada>',
             '    <entrada dato="D_LOCALIDAD">Fuentelaguna del Campo</entrada>',
             '  </ENTRADAS>',
             '  <SALIDAS>']
    lines += section("MATERIAS", ["X_MATERIAOMC", "C_CODMATERIA", "C_CODLARGO", "D_MATERIA"], materias)
    lines += section("PROFESORES", ["X_EMPLEADO", "F_TOMAPOS", "D_NOMBRE", "C_ABREV"], TEACHERS)
    lines += section("AULAS", ["X_DEPENDENCIA", "C_ABREV", "D_DEPENDENCIA", "C_EDIFICIO"], ROOMS)
    lines += section("GRUPOS", ["X_UNIDAD", "C_ABREV", "C_TURNO", "C_NIVEL", "C_CURSO", "C_GRUPO"],
                     [g[:6] for g in GROUPS])
    lines += section("ASIGNATURAS", ["C_MATERIA", "C_UNIDAD", "C_DEPENDENCIA", "C_TURNO", "C_NIVEL", "C_CURSO",
                                     "C_GRUPO", "N_MINUTOS", "X_MATERIAOMC"], asignaturas)
    lines += section("TRAMOS", ["CODIGO_DELPHOS", "NOMBRE", "INICIO", "FIN", "NINUTOS"], tramos)
    lines += ['  </SALIDAS>', '</SERVICIO>', '']
    OUT.write_bytes("\n".join(lines).encode("iso-8859-1"))
    print("%s: %d materias, %d profesores, %d aulas, %d grupos, %d asignaturas, %d tramos" % (
        OUT, len(materias), len(TEACHERS), len(ROOMS), len(GROUPS), len(asignaturas), len(tramos)))


if __name__ == "__main__":
    main()
