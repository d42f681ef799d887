// SPDX-License-Identifier: MIT
// Purpose: `enlazio-cli importar FILE [--exchange DIR]`: the import run without a window.
#include "cli/commands.h"

#include "formats/error.h"
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

constexpr const char* kImportarUsage =
    "uso: enlazio-cli importar ARCHIVO [--exchange DIR]\n"
    "\n"
    "Lee SOLUC y las seis tablas de intercambio de DIR (por omisión C:\\ATEMP) y escribe,\n"
    "junto a ARCHIVO, el documento de resultado \"ResultadoAulix\" seguido de su nombre.\n";

int usageError(const std::string& reason)
{
    std::fprintf(stderr, "enlazio-cli importar: %s\n\n%s", reason.c_str(), kImportarUsage);
    return kExitUsage;
}

} // namespace

int cmdImportar(const std::vector<std::string>& args)
{
    std::optional<std::string> file;
    std::optional<std::string> exchangeArg;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kImportarUsage, stdout);
            return kExitOk;
        }
        if (arg == "--exchange") {
            if (i + 1 >= args.size())
                return usageError("falta la carpeta tras --exchange");
            if (exchangeArg)
                return usageError("--exchange aparece dos veces");
            exchangeArg = args[++i];
        } else if (arg.starts_with("--")) {
            return usageError("opción desconocida '" + arg + "'");
        } else if (file) {
            return usageError("sobra el argumento '" + arg + "'");
        } else {
            file = arg;
        }
    }
    if (!file)
        return usageError("falta el documento de servicio");

    const std::filesystem::path chosen = resolveWindowsPath(*file);
    const std::filesystem::path exchange = exchangeArg ? resolveWindowsPath(*exchangeArg) : exchangeFolder();

    // Checked here and not left to runImport: a missing table is also "file not found"
    // for the core, but only a missing document gets the status of its own.
    if (!fileExists(chosen)) {
        std::fputs("No existe archivo\n", stderr);
        return kExitNoFile;
    }
    try {
        const ImportSummary summary = runImport(chosen, exchange);
        std::printf("Proceso finalizado\n"
                    "Documento de resultado: %s\n"
                    "Secciones de profesor: %zu\n"
                    "Entradas de actividad: %zu\n",
                    summary.resultPath.string().c_str(), summary.teachers, summary.activities);
        return kExitOk;
    } catch (const Error& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return kExitFailed;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Error interno: %s\n", error.what());
        return kExitFailed;
    }
}

} // namespace enlazio::cli
