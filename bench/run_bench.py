#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# Purpose: the benchmark driver: every figure side by side with its floor, medians of several runs, as in BENCHMARKS.md.
"""Runs the benchmarks built in BUILD (scripts/bench.sh builds them) and prints:

- the export of a generated 100 MB document next to `xmllint --stream --noout` on the same
  file (whole processes, /usr/bin/time -v), and peak memory per MB of document;
- the export's parts in process (Google Benchmark): the floor parse, our read, the tables;
- the import per SOLUC row at 10,000 and 100,000 rows (1,000,000 with --full), next to
  reading its seven tables alone and saving its result alone (Google Benchmark), and its
  peak memory per MB (whole process);
- the time from start to the first painted window of `enlazio` under QT_QPA_PLATFORM=offscreen.

Runs alternate between the things compared, so that a busy machine weighs on both alike;
every figure is a median, and the verdicts are ratios.
"""

import argparse
import json
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path


def run_timed(command, env=None):
    """One whole-process run under /usr/bin/time -v: (wall s, cpu s, max RSS KB)."""
    result = subprocess.run(["/usr/bin/time", "-v"] + [str(c) for c in command], env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if result.returncode != 0:
        sys.exit("falló: %s\n%s" % (" ".join(map(str, command)), result.stderr[-2000:]))
    fields = {}
    for line in result.stderr.splitlines():
        key, _, value = line.strip().rpartition(": ")
        fields[key] = value
    wall = fields["Elapsed (wall clock) time (h:mm:ss or m:ss)"].split(":")
    seconds = sum(float(part) * 60 ** i for i, part in enumerate(reversed(wall)))
    cpu = float(fields["User time (seconds)"]) + float(fields["System time (seconds)"])
    return seconds, cpu, int(fields["Maximum resident set size (kbytes)"])


def medians(samples):
    return tuple(statistics.median(column) for column in zip(*samples))


def google_benchmark(program, runs, filter_regex=None, env=None):
    """Medians of a Google Benchmark program: {name: {"real": s, "cpu": s, counters...}}."""
    command = [str(program), "--benchmark_format=json", "--benchmark_repetitions=%d" % runs,
               "--benchmark_report_aggregates_only=true"]
    if filter_regex:
        command.append("--benchmark_filter=" + filter_regex)
    result = subprocess.run(command, env=env, capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit("falló: %s\n%s" % (" ".join(command), result.stderr[-2000:]))
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    figures = {}
    for entry in json.loads(result.stdout)["benchmarks"]:
        if entry.get("aggregate_name") != "median":
            continue
        unit = scale[entry["time_unit"]]
        figure = {"real": entry["real_time"] * unit, "cpu": entry["cpu_time"] * unit}
        for key, value in entry.items():
            if isinstance(value, (int, float)) and key not in figure:
                figure[key] = value
        figures[entry["run_name"]] = figure
    return figures


def machine():
    model = "desconocido"
    with open("/proc/cpuinfo") as cpuinfo:
        for line in cpuinfo:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo") as meminfo:
        total_kb = int(meminfo.readline().split()[1])
    return "%d CPU (%s), %.1f GB de memoria, %s %s" % (os.cpu_count(), model, total_kb / 1048576,
                                                       platform.system(), platform.release())


class Report:
    def __init__(self):
        self.lines = []

    def section(self, title):
        self.lines.append("")
        self.lines.append("## " + title)
        self.lines.append("")
        print("\n== %s" % title, flush=True)

    def table(self, header, rows):
        self.lines.append("| " + " | ".join(header) + " |")
        self.lines.append("|" + "|".join("---" for _ in header) + "|")
        widths = [max(len(str(x)) for x in column) for column in zip(header, *rows)]
        print("  ".join(h.ljust(w) for h, w in zip(header, widths)))
        for row in rows:
            self.lines.append("| " + " | ".join(str(x) for x in row) + " |")
            print("  ".join(str(x).ljust(w) for x, w in zip(row, widths)), flush=True)
        self.lines.append("")

    def note(self, text):
        self.lines.append(text)
        self.lines.append("")
        print(text, flush=True)


def verdict(ok):
    return "cumple" if ok else "NO cumple"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build-bench", help="carpeta de compilación con los programas")
    parser.add_argument("--runs", type=int, default=5, help="repeticiones de cada medida (mediana)")
    parser.add_argument("--full", action="store_true", help="también SOLUC de 1.000.000 de filas")
    parser.add_argument("--mb", type=int, default=100, help="tamaño del documento exportado, en MB")
    parser.add_argument("--markdown", help="escribe aquí las tablas en Markdown")
    parser.add_argument("--keep", action="store_true", help="no borra los datos generados")
    args = parser.parse_args()

    build = Path(args.build).resolve()
    cli = build / "cli" / "enlazio-cli"
    gen = build / "bench" / "enlazio-bench-gen"
    window = build / "app" / "enlazio"
    data = build / "bench-data"
    for tool in (cli, gen, build / "bench" / "export_bench", build / "bench" / "import_bench"):
        if not tool.exists():
            sys.exit("no está %s: ejecute scripts/bench.sh" % tool)
    if not shutil.which("xmllint") or not Path("/usr/bin/time").exists():
        sys.exit("faltan xmllint o /usr/bin/time: ejecute scripts/setup.sh")
    shutil.rmtree(data, ignore_errors=True)
    data.mkdir(parents=True)
    runs = max(1, args.runs)
    report = Report()
    started = time.monotonic()
    report.note("Máquina: %s. Medianas de %d ejecuciones%s." % (machine(), runs,
                ", tamaños completos" if args.full else ""))

    # ---- export of a large document, against the streaming parse alone ----
    report.section("Exportar un documento de %d MB frente a xmllint --stream" % args.mb)
    rows = []
    export_ok = True
    for encoding, flag in (("UTF-8", []), ("ISO-8859-1", ["--latin1"])):
        folder = data / ("exportar-" + encoding)
        subprocess.run([gen, "--out", folder, "--mb", str(args.mb)] + flag, check=True, stdout=subprocess.DEVNULL)
        document = folder / "documento.xml"
        mb = document.stat().st_size / 1e6
        floor, ours = [], []
        for _ in range(runs):
            floor.append(run_timed(["xmllint", "--stream", "--noout", document]))
            ours.append(run_timed([cli, "exportar", document, "--exchange", folder]))
        floor_wall, floor_cpu, floor_rss = medians(floor)
        wall, cpu, rss = medians(ours)
        # Each run of ours beside the floor's run just before it: the pairs share the
        # machine's load of the moment, so their ratios vary less than either time.
        ratio = statistics.median(o[0] / f[0] for f, o in zip(floor, ours))
        cpu_ratio = statistics.median(o[1] / f[1] for f, o in zip(floor, ours))
        export_ok = export_ok and ratio <= 1.5 and rss / 1024 < mb
        rows.append([encoding, "%.0f" % mb, "%.2f s" % floor_wall, "%.2f s" % wall, "%.2f" % ratio,
                     "%.2f" % cpu_ratio, "%.0f MB" % (rss / 1024), "%.2f" % (rss / 1024 / mb)])
        if not args.keep:
            document.unlink()
    report.table(["documento", "MB", "xmllint --stream", "exportar", "proporción", "proporción CPU",
                  "memoria máx.", "memoria / MB"], rows)
    report.note("Objetivo: exportar en 1,5 veces el análisis solo o menos, con memoria por debajo del tamaño "
                "del documento: %s." % verdict(export_ok))

    # ---- the export's parts, in process ----
    report.section("Partes de la exportación, en proceso (Google Benchmark)")
    parts = google_benchmark(build / "bench" / "export_bench", runs)
    rows = []
    for schools in (1, 22):
        for latin1, encoding in ((0, "UTF-8"), (1, "ISO-8859-1")):
            suffix = "/schools:%d/latin1:%d" % (schools, latin1)
            floor = parts["streamingParse" + suffix]
            read = parts["readSections" + suffix]
            tables = parts["conversions" + suffix]
            whole = parts["exportRun" + suffix]
            rows.append(["%d (%.1f MB, %s)" % (schools, floor["doc_MB"], encoding),
                         "%.1f ms" % (floor["cpu"] * 1e3), "%.1f ms" % (read["cpu"] * 1e3),
                         "%.1f ms" % (tables["cpu"] * 1e3), "%.0f ns" % (tables["ns_per_record"] * 1e9),
                         "%.1f ms" % (whole["cpu"] * 1e3), "%.2f" % (whole["cpu"] / floor["cpu"])])
    report.table(["centros", "análisis solo", "lectura", "seis tablas", "por registro", "exportar",
                  "exportar / análisis"], rows)

    # ---- import ----
    sizes = [10000, 100000] + ([1000000] if args.full else [])
    env = dict(os.environ, ENLAZIO_BENCH_FULL="1" if args.full else "0")
    report.section("Importar: tiempo por fila de SOLUC (Google Benchmark)")
    import_runs = runs if not args.full else max(3, runs // 2)
    figures = google_benchmark(build / "bench" / "import_bench", import_runs, "importRun|readTables|saveResult", env)
    rows = []
    per_row = {}
    for rows_count in sizes:
        run = figures["importRun/rows:%d" % rows_count]
        read = figures["readTables/rows:%d" % rows_count]
        save = figures["saveResult/rows:%d" % rows_count]
        per_row[rows_count] = run["ns_per_row"]
        rows.append(["{:,}".format(rows_count).replace(",", "."), "%.1f MB" % run["doc_MB"],
                     "%.1f MB" % run["result_MB"], "%.0f ms" % (run["real"] * 1e3),
                     "%.2f µs" % (run["ns_per_row"] * 1e6), "%.0f ms" % (read["real"] * 1e3),
                     "%.0f ms" % (save["real"] * 1e3), "%.1f" % (run["real"] / read["real"]),
                     "%.1f" % (run["real"] / save["real"])])
    report.table(["filas", "documento", "resultado", "importar", "por fila", "leer las 7 tablas",
                  "guardar el resultado", "importar / leer", "importar / guardar"], rows)
    largest = sizes[-1]
    flat = per_row[largest] / per_row[10000]
    report.note("Por fila a %s filas frente a 10.000: %.2f veces. Objetivo (1.000.000 frente a 10.000, 1,5 veces "
                "o menos): %s." % ("{:,}".format(largest).replace(",", "."), flat,
                                   verdict(flat <= 1.5) if largest == 1000000 else "medido con --full"))

    report.section("Importar: memoria máxima (proceso entero, /usr/bin/time -v)")
    rows = []
    for rows_count in sizes:
        folder = data / ("importar-%d" % rows_count)
        subprocess.run([gen, "--out", folder, "--soluc-rows", str(rows_count), "--tables"], check=True,
                       stdout=subprocess.DEVNULL)
        document = folder / "documento.xml"
        samples = [run_timed([cli, "importar", document, "--exchange", folder]) for _ in range(max(1, runs // 2))]
        wall, cpu, rss = medians(samples)
        mb = document.stat().st_size / 1e6
        result_mb = (folder / "ResultadoAulixdocumento.xml").stat().st_size / 1e6
        rows.append(["{:,}".format(rows_count).replace(",", "."), "%.1f MB" % mb, "%.1f MB" % result_mb,
                     "%.2f s" % wall, "%.0f MB" % (rss / 1024), "%.2f" % (rss / 1024 / mb),
                     "%.1f" % (rss / 1024 / result_mb)])
        if not args.keep:
            shutil.rmtree(folder)
    report.table(["filas", "documento elegido", "resultado", "importar", "memoria máx.", "memoria / MB documento",
                  "memoria / MB resultado"], rows)

    # ---- the window ----
    report.section("Ventana: del arranque a la primera presentación (QT_QPA_PLATFORM=offscreen)")
    if window.exists():
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", ENLAZIO_BENCH_QUIT_AT_SHOW="1")
        env.setdefault("XDG_RUNTIME_DIR", str(data))
        shown = []
        for _ in range(max(10, runs)):
            start = time.monotonic_ns()
            result = subprocess.run([window], env=env, capture_output=True, text=True, timeout=60)
            match = re.search(r"ventana mostrada (\d+)", result.stdout)
            if result.returncode != 0 or not match:
                sys.exit("la ventana no se mostró: %s" % result.stderr[-2000:])
            shown.append((int(match.group(1)) - start) / 1e6)
        median = statistics.median(shown)
        report.table(["ejecuciones", "mediana", "mínimo", "máximo"],
                     [[str(len(shown)), "%.0f ms" % median, "%.0f ms" % min(shown), "%.0f ms" % max(shown)]])
        report.note("Objetivo: 300 ms o menos: %s." % verdict(median <= 300))
    else:
        report.note("No se compiló la ventana (Qt 6 no disponible): sin medida.")

    if not args.keep:
        shutil.rmtree(data, ignore_errors=True)
    report.note("Duración de esta ejecución: %.0f s." % (time.monotonic() - started))
    if args.markdown:
        Path(args.markdown).write_text("\n".join(report.lines).lstrip() + "\n", encoding="utf-8")


if __name__ == "__main__":
    main()
