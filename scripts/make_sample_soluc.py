#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# Purpose: write a plausible timetable SOLUC.DBF for the tables an export run left in a folder.
"""Build SOLUC.DBF from PROFT, ASIGT, AULAT and DIASHORAST, the way Aularis would.

Usage: make_sample_soluc.py EXCHANGE_DIR [OUTPUT.DBF]

Each ASIGT row (one teaching assignment) goes to a teacher who already teaches that
subject in another course, or else to the teacher with the least load so far,
and each of its sessions to the first slot of DIASHORAST in which the teacher and the
group are free, spread over the week, in its own room when that is free and else in
another free room. A session that finds no slot is written
with DIA 0 and HORA 0, as Aularis leaves an activity it could not place. The output is
reproducible: the same tables always give the same bytes.

Only the standard library is used, so the script runs on any Python 3.
"""

import math
import os
import struct
import sys

DAY_LETTERS = "LMXJVSD"
# A fixed date in the header keeps the shipped file reproducible.
HEADER_DATE = (2024 - 1900, 9, 1)
LANGUAGE_DRIVER_ANSI = 0x57

SOLUC_LAYOUT = [
    ("PROF", "C", 4, 0),
    ("DIA", "N", 1, 0),
    ("HORA", "N", 2, 0),
    ("ASIG", "C", 4, 0),
    ("AULA", "C", 4, 0),
    ("CODGRUPO", "C", 4, 0),
]


def find_table(folder, name):
    wanted = (name + ".DBF").lower()
    for entry in sorted(os.listdir(folder)):
        if entry.lower() == wanted:
            return os.path.join(folder, entry)
    sys.exit("make_sample_soluc: no se encuentra la tabla %s en %s" % (name, folder))


def read_dbf(path):
    """Rows of a dBase table as dicts of text without trailing blanks; deleted rows skipped."""
    with open(path, "rb") as handle:
        data = handle.read()
    count, header_length, record_length = struct.unpack_from("<IHH", data, 4)
    fields = []
    offset = 32
    position = 1
    while data[offset] != 0x0D:
        name = data[offset:offset + 11].split(b"\0", 1)[0].decode("ascii")
        length = data[offset + 16]
        fields.append((name, position, length))
        position += length
        offset += 32
    rows = []
    for index in range(count):
        start = header_length + index * record_length
        record = data[start:start + record_length]
        if record[:1] == b"*":
            continue
        rows.append({name: record[at:at + length].decode("cp1252").rstrip(" ").strip("\0")
                     for name, at, length in fields})
    return rows


def write_dbf(path, layout, rows):
    header_length = 32 + 32 * len(layout) + 1
    record_length = 1 + sum(width for _, _, width, _ in layout)
    out = bytearray()
    out += struct.pack("<B3BIHH", 0x03, *HEADER_DATE, len(rows), header_length, record_length)
    out += bytes(17) + bytes([LANGUAGE_DRIVER_ANSI]) + bytes(2)
    for name, kind, width, decimals in layout:
        out += name.encode("ascii").ljust(11, b"\0") + kind.encode("ascii") + bytes(4)
        out += bytes([width, decimals]) + bytes(14)
    out += b"\x0D"
    for row in rows:
        out += b" "
        for name, kind, width, _ in layout:
            value = row[name]
            if kind == "N":
                text = str(value).rjust(width).encode("ascii")
            else:
                text = value.encode("cp1252")[:width].ljust(width)
            if len(text) != width:
                sys.exit("make_sample_soluc: %r no cabe en %s" % (value, name))
            out += text
    out += b"\x1A"
    temporary = path + ".tmp"
    with open(temporary, "wb") as handle:
        handle.write(out)
    os.replace(temporary, path)


def slots_of(diashoras):
    """(day, hour) of every slot named day letter + hour, in week order, without repeats."""
    slots = set()
    for row in diashoras:
        name = row["DIHO"]
        if len(name) >= 2 and name[0] in DAY_LETTERS and name[1:].isdigit():
            slots.add((DAY_LETTERS.index(name[0]) + 1, int(name[1:])))
    return sorted(slots)


def session_count(row):
    try:
        hours = float(row.get("HORAS") or 1)
    except ValueError:
        hours = 1
    return max(1, math.ceil(hours - 1e-9))


def build_timetable(teachers, assignments, rooms, slots):
    days = sorted({day for day, _ in slots})
    hours = sorted({hour for _, hour in slots})
    busy = set()  # ("P"|"G"|"A", code, day, hour)
    load = {teacher: 0 for teacher in teachers}
    subjects_of = {teacher: set() for teacher in teachers}
    # A teacher takes about an even share of the week, a few hours more at most.
    limit = math.ceil(sum(session_count(a) for a in assignments) / len(teachers)) + 3
    plans = []
    for number, assignment in enumerate(assignments):
        sessions = session_count(assignment)
        # Teachers keep to their subject (its code without the course), as departments do.
        area = assignment["CASIG"][:3]
        same_area = [code for code in teachers if area in subjects_of[code] and load[code] + sessions <= limit]
        teacher = min(same_area or teachers, key=lambda code: (load[code], teachers.index(code)))
        subjects_of[teacher].add(area)
        load[teacher] += sessions
        room = assignment["CAULA"] or (rooms[number % len(rooms)] if rooms else "")
        plans.append({"teacher": teacher, "sessions": sessions, "group": assignment["CGRUP"],
                      "subject": assignment["CASIG"], "room": room, "days": set()})

    def place(plan, number, session, room_choices):
        # Start each assignment on another day so the week fills evenly.
        first_day = (number + 2 * session) % len(days)
        order = days[first_day:] + days[:first_day]
        for same_day_allowed in (False, True):
            for hour in hours:
                for day in order:
                    if (day, hour) not in slots or (day in plan["days"] and not same_day_allowed):
                        continue
                    if ("P", plan["teacher"], day, hour) in busy or ("G", plan["group"], day, hour) in busy:
                        continue
                    for room in room_choices:
                        if room and ("A", room, day, hour) in busy:
                            continue
                        busy.update({("P", plan["teacher"], day, hour), ("G", plan["group"], day, hour),
                                     ("A", room, day, hour)})
                        return day, hour, room
        return None

    rows = []
    # Session by session over all assignments, so that no subject takes every good slot.
    for session in range(max((plan["sessions"] for plan in plans), default=0)):
        for number, plan in enumerate(plans):
            if session >= plan["sessions"]:
                continue
            # Its own room when it can; otherwise whichever room is free.
            placed = place(plan, number, session, [plan["room"]]) \
                or place(plan, number, session, [room for room in rooms if room != plan["room"]])
            day, hour, room = placed if placed else (0, 0, plan["room"])
            plan["days"].add(day)
            rows.append({"PROF": plan["teacher"], "DIA": day, "HORA": hour, "ASIG": plan["subject"],
                         "AULA": room, "CODGRUPO": plan["group"]})
    # Aularis lists a teacher's week day by day; unplaced activities come last.
    rank = {teacher: index for index, teacher in enumerate(teachers)}
    rows.sort(key=lambda row: (rank[row["PROF"]], row["DIA"] == 0, row["DIA"], row["HORA"]))
    return rows


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    folder = argv[1]
    output = argv[2] if len(argv) == 3 else os.path.join(folder, "SOLUC.DBF")
    teachers = []
    for row in read_dbf(find_table(folder, "PROFT")):
        if row["ABREV"] and row["ABREV"] not in teachers:
            teachers.append(row["ABREV"])
    assignments = [row for row in read_dbf(find_table(folder, "ASIGT")) if row["CASIG"]]
    rooms = [row["ABREV"] for row in read_dbf(find_table(folder, "AULAT")) if row["ABREV"]]
    slots = set(slots_of(read_dbf(find_table(folder, "DIASHORAST"))))
    if not teachers or not slots:
        sys.exit("make_sample_soluc: hacen falta profesores en PROFT y tramos en DIASHORAST")
    rows = build_timetable(teachers, assignments, rooms, slots)
    write_dbf(output, SOLUC_LAYOUT, rows)
    placed = sum(1 for row in rows if row["DIA"] != 0)
    print("%s: %d actividades (%d sin colocar)" % (output, len(rows), len(rows) - placed))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
