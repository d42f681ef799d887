// SPDX-License-Identifier: MIT
// Purpose: `enlazio-cli importar FILE [--exchange DIR]`: the import run without a window.
#include "cli/commands.h"
#include "cli/run_command.h"

#include "import/result_document.h"

#include <cstdio>
#include <filesystem>
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

} // namespace

int cmdImportar(const std::vector<std::string>& args)
{
    return runOnDocument("importar", kUsage, args,
                         [](const std::filesystem::path& file, const std::filesystem::path& exchange) {
                             const ImportSummary summary = runImport(file, exchange);
                             std::puts("Proceso finalizado");
                             std::printf("Documento de resultado: %s\n", summary.resultPath.string().c_str());
                             std::printf("Secciones de profesor: %zu\n", summary.teachers);
                             std::printf("Entradas de actividad: %zu\n", summary.activities);
                         });
}

} // namespace enlazio::cli
