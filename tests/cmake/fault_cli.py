#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# Purpose: faults around enlazio-cli exportar and importar, one row each: exit status, message, and nothing lost.
"""Usage: fault_cli.py [ROW...]   (all rows when none is named; --list names them)

ENLAZIO_CLI and ENLAZIO_SOURCE_DIR come from the environment. Each row sets up a fresh
world (the sample school exported into an exchange folder, its SOLUC, the chosen document
and an older result beside it), does one harm, runs the CLI and checks: the exit status,
the message on standard error, that the chosen document keeps its bytes, that a failed
import keeps the older result and leaves nothing behind, that the six tables the tool
writes read with our reader and with dbfread, and what the row itself promises.

Permission faults do not bite root, so as root the CLI runs as the user nobody (on a copy
of the CLI inside the world, which nobody can reach). A full disk is a small tmpfs where
mounting one is allowed (and ENLAZIO_FALLOS_SIN_TMPFS is unset), and otherwise a file-size
limit on the CLI; the row says which.
"""

import contextlib
import fcntl
import os
import pwd
import re
import resource
import shutil
import signal
import struct
import subprocess
import sys
import tempfile

from dbfread import DBF

CLI = os.environ.get("ENLAZIO_CLI", "")
SOURCE = os.environ.get("ENLAZIO_SOURCE_DIR", "")
TABLES = ["ASIGNOMT", "PROFT", "AULAT", "GRUPOST", "ASIGT", "DIASHORAST"]
IS_ROOT = os.geteuid() == 0
PAGE = os.sysconf("SC_PAGE_SIZE")


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def files_of(folder):
    """name -> bytes of every file in the folder (hidden ones included)."""
    out = {}
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if os.path.isfile(path):
            with open(path, "rb") as f:
                out[name] = f.read()
    return out


class World:
    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="enlazio-fallos-")
        os.chmod(self.root, 0o755)
        self.cli = os.path.join(self.root, "enlazio-cli")
        shutil.copy2(CLI, self.cli)
        self.delphos = os.path.join(self.root, "delphos")
        self.atemp = os.path.join(self.root, "atemp")
        os.mkdir(self.delphos)
        os.mkdir(self.atemp)
        self.chosen = os.path.join(self.delphos, "horario.xml")
        self.result = os.path.join(self.delphos, "ResultadoAulixhorario.xml")
        shutil.copy(os.path.join(SOURCE, "samples", "ies_fuente_nueva.xml"), self.chosen)
        done = subprocess.run([self.cli, "exportar", self.chosen, "--exchange", self.atemp], capture_output=True)
        check(done.returncode == 0, "setting up: the sample does not export: %s" % done.stderr.decode())
        shutil.copy(os.path.join(SOURCE, "samples", "SOLUC.DBF"), os.path.join(self.atemp, "SOLUC.DBF"))
        with open(self.result, "w") as f:
            f.write("anterior\n")
        # Everything belongs to the user the CLI runs as; each row takes away what it needs.
        self.user = pwd.getpwnam("nobody") if IS_ROOT else None
        if self.user:
            for folder, _, names in os.walk(self.root):
                for path in [folder] + [os.path.join(folder, n) for n in names]:
                    os.chown(path, self.user.pw_uid, self.user.pw_gid)
        self.mounts = []
        self.held = []
        self.file_size_limit = None
        self.before_tables = files_of(self.atemp)
        self.before_inodes = {n: os.stat(os.path.join(self.atemp, n)).st_ino for n in self.before_tables}
        self.before_documents = files_of(self.delphos)

    def table(self, name):
        return os.path.join(self.atemp, name + ".DBF")

    def run(self, *args):
        def limits():
            if self.file_size_limit is not None:
                # A write past the limit then fails with EFBIG instead of killing the process.
                signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
                resource.setrlimit(resource.RLIMIT_FSIZE, (self.file_size_limit, self.file_size_limit))

        identity = {}
        if self.user:
            identity = {"user": self.user.pw_uid, "group": self.user.pw_gid, "extra_groups": []}
        env = {"PATH": "/usr/bin:/bin", "LC_ALL": "C.UTF-8", "ASAN_OPTIONS": os.environ.get("ASAN_OPTIONS", ""),
               "UBSAN_OPTIONS": os.environ.get("UBSAN_OPTIONS", "")}
        done = subprocess.run([self.cli] + list(args), capture_output=True, env=env, preexec_fn=limits, cwd="/",
                              **identity)
        return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8")

    def hold(self, path):
        """Holds the file the way another instance of the tool does: an exclusive advisory lock."""
        f = open(path, "rb")
        fcntl.flock(f, fcntl.LOCK_EX | fcntl.LOCK_NB)
        self.held.append(f)

    def full_disk(self, folder, free_pages, file_limit, keep=()):
        """Makes folder a file system with only free_pages pages left after the files in keep
        (copied in); where mounting is not allowed, no file may grow past file_limit bytes."""
        saved = {name: open(os.path.join(folder, name), "rb").read() for name in keep}
        used = sum((len(b) + PAGE - 1) // PAGE for b in saved.values())
        options = "size=%d,mode=0755" % ((used + free_pages) * PAGE)
        if self.user:
            options += ",uid=%d,gid=%d" % (self.user.pw_uid, self.user.pw_gid)
        mounted = IS_ROOT and not os.environ.get("ENLAZIO_FALLOS_SIN_TMPFS") and subprocess.run(["mount", "-t", "tmpfs", "-o", options, "tmpfs", folder],
                                             capture_output=True).returncode == 0
        if mounted:
            self.mounts.append(folder)
            for name, content in saved.items():
                with open(os.path.join(folder, name), "wb") as f:
                    f.write(content)
            print("    (a tmpfs of %d pages)" % (used + free_pages))
            return "No space left on device"
        self.file_size_limit = file_limit
        print("    (no tmpfs here: a file-size limit of %d bytes)" % self.file_size_limit)
        return "File too large"

    def close(self):
        for f in self.held:
            f.close()
        for folder in self.mounts:
            subprocess.run(["umount", folder], check=False)
        for folder, dirs, names in os.walk(self.root):
            for path in [folder] + [os.path.join(folder, n) for n in dirs + names]:
                with contextlib.suppress(OSError):
                    os.chmod(path, 0o755 if os.path.isdir(path) else 0o644)
        shutil.rmtree(self.root, ignore_errors=True)


def read_only(path):
    os.chmod(path, 0o555 if os.path.isdir(path) else 0o444)


# ---- harms to SOLUC: each leaves a header or records that lie ------------------------------

def patch(path, offset, fmt, value):
    with open(path, "r+b") as f:
        f.seek(offset)
        f.write(struct.pack(fmt, value))


def soluc_layout(path):
    with open(path, "rb") as f:
        data = f.read()
    count, header, length = struct.unpack("<IHH", data[4:12])
    fields = []
    at = 32
    while data[at] != 0x0D:
        fields.append((data[at:at + 11].rstrip(b"\0").decode(), at))
        at += 32
    return data, count, header, length, fields


def cut_mid_record(w):
    data, count, header, length, _ = soluc_layout(w.table("SOLUC"))
    with open(w.table("SOLUC"), "wb") as f:
        f.write(data[:header + length * (count // 2) + length // 2])


def delete_records(w):
    data, count, header, length, _ = soluc_layout(w.table("SOLUC"))
    data = bytearray(data)
    for record in range(0, count, 7):
        data[header + record * length] = ord("*")
    with open(w.table("SOLUC"), "wb") as f:
        f.write(data)


def zero_width_dia(w):
    """DIA made 0 bytes wide, with its byte taken out of every record: a table that holds
    together, but whose DIA holds nothing."""
    data, count, header, length, fields = soluc_layout(w.table("SOLUC"))
    offsets, at = {}, 1
    for name, descriptor in fields:
        offsets[name] = (at, data[descriptor + 16])
        at += data[descriptor + 16]
    start, width = offsets["DIA"]
    out = bytearray(data[:header])
    out[fields[1][1] + 16] = 0
    out[10:12] = struct.pack("<H", length - width)
    for record in range(count):
        r = data[header + record * length: header + (record + 1) * length]
        out += r[:start] + r[start + width:]
    out += b"\x1a"
    with open(w.table("SOLUC"), "wb") as f:
        f.write(out)


def widen_codgrupo(w):
    _, _, _, _, fields = soluc_layout(w.table("SOLUC"))
    descriptor = dict(fields)["CODGRUPO"]
    patch(w.table("SOLUC"), descriptor + 16, "<B", 40)


def header_short_of_codgrupo(w):
    _, _, _, _, fields = soluc_layout(w.table("SOLUC"))
    patch(w.table("SOLUC"), 8, "<H", dict(fields)["CODGRUPO"])


# ---- the rows -------------------------------------------------------------------------------

def activities(stdout):
    match = re.search(r"Entradas de actividad: (\d+)", stdout)
    check(match, "no activity count on stdout: %r" % stdout)
    return int(match.group(1))


def result_agrees_with_the_tables(w, stdout):
    """The independent checker rebuilds the result from the tables as dbfread reads them."""
    done = subprocess.run([sys.executable, os.path.join(SOURCE, "tests", "data", "import", "check_result.py"),
                           w.chosen, w.result, w.atemp], capture_output=True, text=True)
    check(done.returncode == 0, "the result differs from the tables: %s%s" % (done.stdout, done.stderr))
    check(done.stdout.split()[3] == str(activities(stdout)), "stdout and checker disagree: " + done.stdout)


def inode(w, name):
    path = w.table(name)
    return os.stat(path).st_ino if os.path.exists(path) else None


def tables_untouched(*names):
    def promise(w, _):
        for name in names:
            check(files_of(w.atemp).get(name + ".DBF") == w.before_tables[name + ".DBF"], name + " changed")
            check(inode(w, name) == w.before_inodes[name + ".DBF"], name + " was replaced")
    return promise


def tables_rebuilt(*names):
    """Rebuilt: a new file in the old one's place (the same document gives the same bytes)."""
    def promise(w, _):
        for name in names:
            check(inode(w, name) not in (None, w.before_inodes[name + ".DBF"]), name + " was not rebuilt")
    return promise


def both(*promises):
    def promise(w, stdout):
        for p in promises:
            p(w, stdout)
    return promise


def export_disk_full(w):
    # Empty but for room for the first four tables and part of ASIGT (11 kB).
    for name in os.listdir(w.atemp):
        os.remove(os.path.join(w.atemp, name))
    w.before_tables = {}
    return w.full_disk(w.atemp, 6, 8192)


def import_disk_full(w):
    # Room for the chosen document and the older result, and some pages, not the result.
    return w.full_disk(w.delphos, 8, 32768, keep=("horario.xml", "ResultadoAulixhorario.xml"))


def some_rows_fewer(w):
    patch(w.table("SOLUC"), 4, "<I", 100)


ROWS = [
    # name, command, harm (returns text the message must hold, or None), exit status, message
    # pattern ({harm} is the harm's text), what else the row promises.
    ("exportar_carpeta_inexistente", "exportar", lambda w: shutil.rmtree(w.atemp), 1,
     r"No se puede crear la tabla .*ASIGNOMT\.DBF: no existe la carpeta", lambda w, _: check(
         not os.path.exists(w.atemp), "the exchange folder was created")),
    ("exportar_carpeta_de_solo_lectura", "exportar", lambda w: read_only(w.atemp), 1,
     r"No se puede crear la tabla .*ASIGNOMT\.DBF: Permission denied", tables_untouched(*TABLES)),
    ("exportar_tabla_de_solo_lectura", "exportar", lambda w: read_only(w.table("AULAT")), 1,
     r"No se puede crear la tabla .*AULAT\.DBF: .*AULAT\.DBF es de solo lectura",
     both(tables_rebuilt("ASIGNOMT", "PROFT"), tables_untouched("AULAT", "GRUPOST", "ASIGT", "DIASHORAST"))),
    ("exportar_tabla_abierta_en_otra_instancia", "exportar", lambda w: w.hold(w.table("PROFT")), 1,
     r"No se puede crear la tabla .*PROFT\.DBF: .*PROFT\.DBF está abierta en otro programa",
     both(tables_rebuilt("ASIGNOMT"), tables_untouched("PROFT", "AULAT", "GRUPOST", "ASIGT", "DIASHORAST"))),
    ("exportar_disco_lleno", "exportar", export_disk_full, 1,
     r"No se puede escribir (el registro \d+ de )?la tabla .*\.DBF: {harm}", None),
    ("importar_carpeta_inexistente", "importar", lambda w: shutil.rmtree(w.atemp), 1,
     r"wwTableSoluc: No existe la tabla .*SOLUC\.DBF", None),
    ("importar_carpeta_de_solo_lectura", "importar", lambda w: read_only(w.atemp), 0, None,
     result_agrees_with_the_tables),
    ("importar_tabla_de_solo_lectura", "importar", lambda w: read_only(w.table("SOLUC")), 0, None,
     result_agrees_with_the_tables),
    ("importar_tabla_ilegible", "importar", lambda w: os.chmod(w.table("GRUPOST"), 0), 1,
     r"wwTableGrupos: No se puede abrir la tabla .*GRUPOST\.DBF: Permission denied", None),
    ("importar_tabla_abierta_en_otra_instancia", "importar", lambda w: w.hold(w.table("AULAT")), 1,
     r"wwTableAulas: La tabla .*AULAT\.DBF está abierta en otro programa", None),
    ("importar_carpeta_del_resultado_de_solo_lectura", "importar", lambda w: read_only(w.delphos), 1,
     r"No se pudo guardar el documento .*ResultadoAulixhorario\.xml.*: no se puede crear un archivo en su carpeta: "
     r"Permission denied", None),
    ("importar_disco_lleno_al_guardar", "importar", import_disk_full, 1,
     r"No se pudo guardar el documento .*ResultadoAulixhorario\.xml.*: {harm}", None),
    ("soluc_cortada_a_mitad_de_registro", "importar", cut_mid_record, 1,
     r"wwTableSoluc: La tabla .*SOLUC\.DBF está truncada: la cabecera indica 398 registros", None),
    ("soluc_con_mas_registros_en_la_cabecera", "importar",
     lambda w: patch(w.table("SOLUC"), 4, "<I", 5000), 1,
     r"wwTableSoluc: La tabla .*SOLUC\.DBF está truncada: la cabecera indica 5000 registros", None),
    ("soluc_con_menos_registros_en_la_cabecera", "importar", some_rows_fewer, 1,
     r"wwTableSoluc: La tabla .*SOLUC\.DBF no es válida: la cabecera indica 100 registros y el archivo guarda más "
     r"tras ellos", None),
    ("soluc_con_cabecera_mas_larga_que_el_archivo", "importar",
     lambda w: patch(w.table("SOLUC"), 8, "<H", 0xFFFF), 1,
     r"wwTableSoluc: La tabla .*SOLUC\.DBF está truncada: la cabecera dice medir 65535 bytes", None),
    ("soluc_con_cabecera_que_deja_fuera_un_campo", "importar", header_short_of_codgrupo, 1,
     r"wwTableSoluc: La tabla .*SOLUC\.DBF no es válida: la cabecera da a los registros 20 bytes y sus campos solo "
     r"ocupan 16", None),
    ("soluc_con_un_campo_mas_ancho_que_sus_registros", "importar", widen_codgrupo, 1,
     r"wwTableSoluc: La tabla .*SOLUC\.DBF está truncada: la cabecera indica 398 registros de 56 bytes", None),
    ("soluc_con_registros_borrados", "importar", delete_records, 0, None, result_agrees_with_the_tables),
    ("soluc_con_un_campo_de_ancho_cero", "importar", zero_width_dia, 1,
     r"wwTableSoluc: el campo 'DIA' de la tabla SOLUC mide 0 bytes y no guarda ningún valor", None),
]


def dbf_readable(path):
    """Our reader and dbfread both read the table, with the same number of records."""
    done = subprocess.run([CLI, "mostrar", path, "--csv"], capture_output=True, text=True)
    check(done.returncode == 0, "enlazio-cli mostrar rejects %s: %s" % (path, done.stderr))
    ours = len(done.stdout.splitlines()) - 1
    try:
        theirs = len(DBF(path, encoding="cp1252", load=True).records)
    except Exception as e:  # dbfread raises whatever it meets
        raise Failure("dbfread rejects %s: %s" % (path, e))
    check(ours == theirs, "%s: %d records for us, %d for dbfread" % (path, ours, theirs))


def run_row(row):
    name, command, harm, status, pattern, promise = row
    w = World()
    try:
        harm_text = harm(w) or ""
        code, out, err = w.run(command, w.chosen, "--exchange", w.atemp)
        check(code == status, "exit status %d, expected %d\nstdout: %s\nstderr: %s" % (code, status, out, err))
        if status == 0:
            check(err == "", "stderr of a finished run: " + err)
        else:
            expected = pattern.replace("{harm}", re.escape(harm_text))
            check(re.search(expected, err), "stderr %r does not match %r" % (err, expected))
            check(out == "", "stdout of a failed run: " + out)
        # What must hold after any row.
        with open(w.chosen, "rb") as f:
            check(f.read() == w.before_documents["horario.xml"], "the chosen document changed")
        if command == "importar" and status != 0:
            check(files_of(w.delphos) == w.before_documents, "the documents' folder changed: %s" %
                  sorted(files_of(w.delphos)))
        for folder in (w.delphos, w.atemp):
            if os.path.isdir(folder):
                leftovers = [n for n in os.listdir(folder) if n.startswith(".")]
                check(not leftovers, "files left behind: %s" % leftovers)
        for table in TABLES:
            if os.path.exists(w.table(table)) and os.access(w.table(table), os.R_OK):
                dbf_readable(w.table(table))
        if promise:
            promise(w, out)
    finally:
        w.close()


def main():
    names = [row[0] for row in ROWS]
    if sys.argv[1:] == ["--list"]:
        print("\n".join(names))
        return 0
    check(CLI and SOURCE, "ENLAZIO_CLI and ENLAZIO_SOURCE_DIR must be set")
    wanted = sys.argv[1:] or names
    unknown = set(wanted) - set(names)
    if unknown:
        print("unknown rows: %s" % sorted(unknown), file=sys.stderr)
        return 2
    print("running the CLI as %s" % ("nobody" if IS_ROOT else "this user"))
    failures = 0
    for row in ROWS:
        if row[0] not in wanted:
            continue
        print("%s:" % row[0])
        try:
            run_row(row)
            print("    ok")
        except Failure as e:
            failures += 1
            print("    FAIL: %s" % e)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
