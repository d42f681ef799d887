// SPDX-License-Identifier: MIT
// Purpose: `enlazio-cli importar FILE [--exchange DIR]`: the import run without a window.
#include "cli/commands.h"

#include "formats/win_path.h"
#include "import/result_document.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace enlazio::cli {
namespace {

constexpr const char* kUsage
    = "uso: enlazio-cli importar ARCHIVO [--exchange DIR]\n"
      "\n"
      "Lee el horario de SOLUC y las seis tablas de intercambio y escribe, junto a ARCHIVO,\n"
      "el documento de resultado \"ResultadoAulix\" seguido del nombre de ARCHIVO.\n"
      "ARCHIVO no se modifica.\n"
      "\n"
      "  --exchange DIR   carpeta de intercambio (por omisión C:\\ATEMP)\n"
      "  --help           esta ayuda\n"
      "  --version        versión del programa\n"
      "\n"
      "Estado de salida: 0 terminado, 1 fallo, 2 uso incorrecto, 3 no existe el archivo.\n";

int usageError(const std::string& problem)
{
    std::fprintf(stderr, "enlazio-cli importar: %s\n", problem.c_str());
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

} // namespace

int cmdImportar(const std::vector<std::string>& args)
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

    // Tested here too: for the core a missing table is also a missing file, but only a
    // missing document has an exit status of its own.
    if (!fileExists(*file)) {
        std::fputs("No existe archivo\n", stderr);
        return kExitNoFile;
    }
    try {
        const ImportSummary summary = runImport(*file, exchange ? *exchange : exchangeFolder());
        std::puts("Proceso finalizado");
        std::printf("Documento de resultado: %s\n", summary.resultPath.string().c_str());
        std::printf("Secciones de profesor: %zu\n", summary.teachers);
        std::printf("Entradas de actividad: %zu\n", summary.activities);
        return kExitOk;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return kExitFailed;
    }
}

} // namespace enlazio::cli
