// SPDX-License-Identifier: MIT
// Purpose: the import run per SOLUC row at growing sizes, next to reading its seven tables and saving its result alone.
#include "bench/workload.h"

#include "export/conversions.h"
#include "import/result_document.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace enlazio;

namespace {

// A zone with enough schools for `rows` SOLUC rows: its document (the chosen file), the
// six tables its export writes, and SOLUC. Built once per size.
struct Fixture {
    fs::path folder;
    fs::path chosen;
    std::size_t rows = 0;
    std::uint64_t documentBytes = 0;

    explicit Fixture(std::size_t solucRows) : rows(solucRows)
    {
        folder = fs::temp_directory_path()
            / ("enlazio-import-bench-" + std::to_string(::getpid()) + "-" + std::to_string(solucRows));
        fs::remove_all(folder);
        fs::create_directories(folder);
        bench::ZoneOptions options;
        options.schools = bench::schoolsForSolucRows(solucRows, options);
        const bench::Zone zone(options);
        chosen = folder / "documento.xml";
        documentBytes = zone.writeDocument(chosen);
        runExport(chosen, folder);
        zone.writeSoluc(folder / "SOLUC.DBF", solucRows);
    }
    ~Fixture() { fs::remove_all(folder); }
};

Fixture& fixture(std::size_t rows)
{
    static std::map<std::size_t, std::unique_ptr<Fixture>> fixtures;
    auto& slot = fixtures[rows];
    if (!slot)
        slot = std::make_unique<Fixture>(rows);
    return *slot;
}

void perRow(benchmark::State& state, std::size_t rows)
{
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["ns_per_row"] = benchmark::Counter(static_cast<double>(rows) * static_cast<double>(state.iterations()),
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The whole import run: load the chosen document, read the seven tables, build and save the result.
void importRun(benchmark::State& state)
{
    const Fixture& f = fixture(static_cast<std::size_t>(state.range(0)));
    ImportSummary summary;
    for (auto _ : state) {
        summary = runImport(f.chosen, f.folder);
        benchmark::DoNotOptimize(summary);
    }
    perRow(state, f.rows);
    state.counters["activities"] = static_cast<double>(summary.activities);
    state.counters["doc_MB"] = static_cast<double>(f.documentBytes) / 1e6;
    state.counters["result_MB"] = static_cast<double>(fs::file_size(summary.resultPath)) / 1e6;
}

// Reading the seven tables alone, every field the import reads, every row once.
void readTables(benchmark::State& state)
{
    const Fixture& f = fixture(static_cast<std::size_t>(state.range(0)));
    struct Read {
        const char* component;
        const char* table;
        std::vector<const char*> fields;
    };
    const Read reads[] = {
        {"wwTableSoluc", "SOLUC", {"PROF", "DIA", "HORA", "ASIG", "AULA", "CODGRUPO"}},
        {"wwTableGrupos", "GRUPOST", {"ABREV", "UNIDAD"}},
        {"wwTableProfesor", "PROFT", {"ABREV", "X_EMPLEADO", "F_TOMAPOS"}},
        {"wwTableAulas", "AULAT", {"ABREV", "DEPCENTRO"}},
        {"wwTableNomAsg", "ASIGNOMT", {"COD", "MATERIA"}},
        {"wwTableTramos", "DIASHORAST", {"DIHO", "DIA", "CODDIHO"}},
        {"wwTableAsig", "ASIGT", {"CASIG", "CGRUP", "MATERIA"}},
    };
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const Read& read : reads) {
            TableComponent table(read.component, read.table);
            table.open(f.folder);
            std::vector<std::size_t> fields;
            for (const char* name : read.fields)
                fields.push_back(table.fieldIndex(name));
            for (std::size_t row = 0; row < table.rowCount(); ++row)
                for (std::size_t field : fields)
                    bytes += table.textAt(row, field).size();
            table.close();
        }
        benchmark::DoNotOptimize(bytes);
    }
    perRow(state, f.rows);
}

// The result of one import run, loaded as a tree; one size at a time, for the repetitions
// of one benchmark, which come one after another.
const ServiceDocument& resultOf(const Fixture& f)
{
    static std::size_t rows = 0;
    static std::unique_ptr<ServiceDocument> result;
    if (!result || rows != f.rows) {
        result.reset();
        const ImportSummary summary = runImport(f.chosen, f.folder);
        result = std::make_unique<ServiceDocument>(ServiceDocument::load(summary.resultPath));
        rows = f.rows;
    }
    return *result;
}

// Saving the result document alone: the tree the import builds, written and renamed.
void saveResult(benchmark::State& state)
{
    const Fixture& f = fixture(static_cast<std::size_t>(state.range(0)));
    const ServiceDocument& result = resultOf(f);
    const fs::path copy = f.folder / "copia.xml";
    for (auto _ : state)
        result.save(copy);
    perRow(state, f.rows);
    state.counters["result_MB"] = static_cast<double>(fs::file_size(copy)) / 1e6;
}

// Loading the chosen document for the import, its output part left out, and whole.
void loadChosen(benchmark::State& state)
{
    const Fixture& f = fixture(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        ServiceDocument doc = state.range(1) == 0 ? ServiceDocument::loadWithoutOutputPart(f.chosen)
                                                  : ServiceDocument::load(f.chosen);
        benchmark::DoNotOptimize(doc);
    }
    perRow(state, f.rows);
    state.counters["doc_MB"] = static_cast<double>(f.documentBytes) / 1e6;
}

// SOLUC sizes: 10,000 rows (two and a half schools), 100,000 and, with
// ENLAZIO_BENCH_FULL=1 in the environment, 1,000,000 (250 schools, a 230 MB document).
void sizes(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"rows"})->Unit(benchmark::kMillisecond);
    b->Arg(10000)->Arg(100000);
    const char* full = std::getenv("ENLAZIO_BENCH_FULL");
    if (full != nullptr && std::string(full) == "1")
        b->Arg(1000000);
}

} // namespace

BENCHMARK(importRun)->Apply(sizes);
BENCHMARK(readTables)->Apply(sizes);
BENCHMARK(saveResult)->Apply(sizes);
BENCHMARK(loadChosen)->ArgNames({"rows", "whole"})->Args({100000, 0})->Args({100000, 1})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
