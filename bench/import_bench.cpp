// SPDX-License-Identifier: MIT
// Purpose: the import run over large tables: time must grow with the table sizes, not their product.
#include "export/table_layouts.h"
#include "formats/dbf_table.h"
#include "import/result_document.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace enlazio;

namespace {

// Four-character codes, as wide as the code fields allow: base 36 gives 1.6 million.
std::string code(char prefix, std::size_t n)
{
    static constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string text(4, '0');
    text[0] = prefix;
    for (int i = 3; i >= 1; --i) {
        text[static_cast<std::size_t>(i)] = kDigits[n % 36];
        n /= 36;
    }
    return text;
}

constexpr char kDays[] = "LMXJVSD";

// An exchange folder with every table of `tableRows` rows, a SOLUC of `solucRows` rows
// spread over all teachers, and a chosen document. Built once per size.
struct Fixture {
    fs::path folder;
    fs::path chosen;

    Fixture(std::size_t tableRows, std::size_t solucRows)
    {
        folder = fs::temp_directory_path()
            / ("enlazio-import-bench-" + std::to_string(::getpid()) + "-" + std::to_string(tableRows) + "-"
               + std::to_string(solucRows));
        fs::remove_all(folder);
        fs::create_directories(folder);
        chosen = folder / "horario.xml";
        std::ofstream(chosen) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SERVICIO><SALIDAS/></SERVICIO>\n";

        const std::size_t hoursPerDay = (tableRows + 6) / 7;
        write("ASIGNOMT", kAsignomtLayout, tableRows, [&](TableWriter& t, std::size_t i) {
            t.setText("COD", code('S', i));
            t.setText("MATERIA", "G" + std::to_string(i));
        });
        write("PROFT", kProftLayout, tableRows, [&](TableWriter& t, std::size_t i) {
            t.setText("ABREV", code('P', i));
            t.setText("X_EMPLEADO", "E" + std::to_string(i));
            t.setText("F_TOMAPOS", "2024-09-01");
        });
        write("AULAT", kAulatLayout, tableRows, [&](TableWriter& t, std::size_t i) {
            t.setText("ABREV", code('A', i));
            t.setText("DEPCENTRO", "R" + std::to_string(i));
        });
        write("GRUPOST", kGrupostLayout, tableRows, [&](TableWriter& t, std::size_t i) {
            t.setText("ABREV", code('G', i));
            t.setText("UNIDAD", "U" + std::to_string(i));
        });
        write("ASIGT", kAsigtLayout, tableRows, [&](TableWriter& t, std::size_t i) {
            t.setText("CASIG", code('S', i));
            t.setText("CGRUP", code('G', i));
            t.setText("MATERIA", "M" + std::to_string(i));
        });
        write("DIASHORAST", kDiashorastLayout, tableRows, [&](TableWriter& t, std::size_t i) {
            const std::size_t day = i % 7;
            const std::size_t hour = i / 7 + 1;
            t.setText("DIHO", std::string(1, kDays[day]) + std::to_string(hour));
            t.setText("CODDIHO", "T" + std::to_string(i));
            t.setText("DIA", std::to_string(day + 1));
        });
        const TableLayout soluc = {{"PROF", FieldType::Text, 4},    {"DIA", FieldType::Integer, 0},
                                   {"HORA", FieldType::Integer, 0}, {"ASIG", FieldType::Text, 4},
                                   {"AULA", FieldType::Text, 4},    {"CODGRUPO", FieldType::Text, 4}};
        // Codes are taken from the far end of the tables too, where a walk from the first
        // row would spend longest.
        write("SOLUC", soluc, solucRows, [&](TableWriter& t, std::size_t i) {
            const std::size_t other = (i * 7919) % tableRows;
            t.setText("PROF", code('P', i % tableRows));
            t.setInteger("DIA", static_cast<std::int32_t>(i % 8)); // day 0 now and then
            t.setInteger("HORA", static_cast<std::int32_t>(i % hoursPerDay + 1));
            t.setText("ASIG", code('S', other));
            t.setText("AULA", code('A', tableRows - 1 - other));
            t.setText("CODGRUPO", code('G', other));
        });
    }
    ~Fixture() { fs::remove_all(folder); }

    template <typename Fill>
    void write(std::string_view name, const TableLayout& layout, std::size_t rows, Fill fill)
    {
        createTable(folder, name, layout);
        TableWriter table(folder, std::string(name));
        table.open();
        for (std::size_t i = 0; i < rows; ++i) {
            table.append();
            fill(table, i);
            table.post();
        }
        table.close();
    }
};

void importRun(benchmark::State& state)
{
    const Fixture fixture(static_cast<std::size_t>(state.range(0)), static_cast<std::size_t>(state.range(1)));
    ImportSummary summary;
    for (auto _ : state) {
        summary = runImport(fixture.chosen, fixture.folder);
        benchmark::DoNotOptimize(summary);
    }
    state.counters["teachers"] = static_cast<double>(summary.teachers);
    state.counters["activities"] = static_cast<double>(summary.activities);
    state.counters["result_MB"] = static_cast<double>(fs::file_size(summary.resultPath)) / 1e6;
}

} // namespace

// Tables of 2,000 and 20,000 rows with SOLUC ten times larger: ten times the work should
// take about ten times as long, not a hundred.
BENCHMARK(importRun)->Args({2000, 20000})->Args({20000, 200000})->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
