// SPDX-License-Identifier: MIT
// Purpose: enlazio-cli exportar: the export run without a window.
#include "cli/commands.h"

#include "export/conversions.h"
#include "formats/error.h"
#include "formats/win_path.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace enlazio::cli {
namespace {

constexpr const char* kUsage
    = "uso: enlazio-cli exportar ARCHIVO [--exchange DIR]\n"
      "\n"
      "Reconstruye las seis tablas de intercambio (ASIGNOMT, PROFT, AULAT, GRUPOST, ASIGT,\n"
      "DIASHORAST) a partir del documento de servicio ARCHIVO.\n"
      "\n"
      "  --exchange DIR   carpeta de intercambio (por omisión C:\\ATEMP)\n"
      "  --help           esta ayuda\n"
      "  --version        versión del programa\n"
      "\n"
      "Estado de salida: 0 terminado, 1 fallo, 2 uso incorrecto, 3 no existe el archivo.\n";

int usageError(const std::string& problem)
{
    std::fprintf(stderr, "enlazio-cli exportar: %s\n", problem.c_str());
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

} // namespace

int cmdExportar(const std::vector<std::string>& args)
{
    std::optional<std::string> file;
    std::optional<std::filesystem::path> exchange;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return kExitOk;
        }
        if (arg == "--version") {
            std::printf("enlazio-cli %s\n", ENLAZIO_VERSION);
            return kExitOk;
        }
        if (arg == "--exchange" || arg.starts_with("--exchange=")) {
            std::string dir;
            if (arg == "--exchange") {
                if (i + 1 == args.size())
                    return usageError("falta la carpeta tras --exchange");
                dir = args[++i];
            } else {
                dir = arg.substr(std::string_view("--exchange=").size());
            }
            if (dir.empty())
                return usageError("la carpeta de --exchange está vacía");
            exchange = dir;
        } else if (arg.size() > 1 && arg.starts_with("-")) {
            return usageError("opción desconocida '" + arg + "'");
        } else if (file) {
            return usageError("sobra el argumento '" + arg + "'");
        } else {
            file = arg;
        }
    }
    if (!file)
        return usageError("falta el documento de servicio");

    // Tested here too so that a missing file is told apart from every other failure.
    if (!fileExists(*file)) {
        std::fputs("No existe archivo\n", stderr);
        return kExitNoFile;
    }
    try {
        const std::vector<TableCount> counts = runExport(*file, exchange ? *exchange : exchangeFolder());
        std::puts("Proceso finalizado");
        for (const TableCount& count : counts)
            std::printf("%s: %zu %s\n", count.table.c_str(), count.records,
                        count.records == 1 ? "registro" : "registros");
        return kExitOk;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return kExitFailed;
    }
}

} // namespace enlazio::cli
