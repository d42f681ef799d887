// SPDX-License-Identifier: MIT
// Purpose: enlazio-bench-gen: writes a generated service document, its six tables and a SOLUC for the benchmarks.
#include "bench/workload.h"

#include "export/conversions.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

namespace {

constexpr const char* kUsage =
    "uso: enlazio-bench-gen --out DIR [--schools N | --mb N] [--soluc-rows N] [--tables] [--latin1] [--seed N]\n"
    "\n"
    "Escribe DIR/documento.xml: una zona de N centros (150 profesores, 1.500 asignaturas y unas\n"
    "4.000 sesiones cada uno), o tantos centros como hagan falta para N megabytes (10^6 bytes).\n"
    "  --soluc-rows N  escribe también DIR/SOLUC.DBF con N filas (añade los centros necesarios)\n"
    "  --tables        exporta el documento a DIR: las seis tablas de intercambio\n"
    "  --latin1        documento en ISO-8859-1 (por omisión UTF-8)\n"
    "  --seed N        semilla (por omisión 20240916): la misma semilla da los mismos bytes\n";

std::size_t number(const char* text)
{
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0')
        throw std::invalid_argument(std::string("no es un número: ") + text);
    return static_cast<std::size_t>(value);
}

} // namespace

int main(int argc, char** argv)
{
    using namespace enlazio::bench;
    try {
        ZoneOptions options;
        std::filesystem::path out;
        std::size_t megabytes = 0, solucRows = 0;
        bool tables = false;
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            auto next = [&]() -> const char* {
                if (i + 1 == argc)
                    throw std::invalid_argument("falta el valor de " + arg);
                return argv[++i];
            };
            if (arg == "--out")
                out = next();
            else if (arg == "--schools")
                options.schools = number(next());
            else if (arg == "--mb")
                megabytes = number(next());
            else if (arg == "--soluc-rows")
                solucRows = number(next());
            else if (arg == "--tables")
                tables = true;
            else if (arg == "--latin1")
                options.encoding = Encoding::Latin1;
            else if (arg == "--seed")
                options.seed = number(next());
            else if (arg == "--help") {
                std::fputs(kUsage, stdout);
                return 0;
            } else
                throw std::invalid_argument("opción desconocida " + arg);
        }
        if (out.empty())
            throw std::invalid_argument("falta --out");
        if (megabytes > 0)
            options.schools = schoolsForDocumentBytes(static_cast<std::uint64_t>(megabytes) * 1000000, options);
        if (solucRows > 0)
            options.schools = std::max(options.schools, schoolsForSolucRows(solucRows, options));
        std::filesystem::create_directories(out);
        const Zone zone(options);
        const std::uint64_t bytes = zone.writeDocument(out / "documento.xml");
        std::printf("documento.xml: %zu centros, %llu bytes\n", zone.schools(), static_cast<unsigned long long>(bytes));
        if (tables) {
            for (const enlazio::TableCount& count : enlazio::runExport(out / "documento.xml", out))
                std::printf("%s: %zu registros\n", count.table.c_str(), count.records);
        }
        if (solucRows > 0) {
            const std::size_t unplaced = zone.writeSoluc(out / "SOLUC.DBF", solucRows);
            std::printf("SOLUC.DBF: %zu filas, %zu sin colocar\n", solucRows, unplaced);
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "enlazio-bench-gen: %s\n\n%s", e.what(), kUsage);
        return 2;
    }
}
