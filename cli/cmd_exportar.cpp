// SPDX-License-Identifier: MIT
// Purpose: enlazio-cli exportar: the export run without a window.
#include "cli/commands.h"
#include "cli/run_command.h"

#include "export/conversions.h"

#include <cstdio>
#include <filesystem>
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

} // namespace

int cmdExportar(const std::vector<std::string>& args)
{
    return runOnDocument("exportar", kUsage, args,
                         [](const std::filesystem::path& file, const std::filesystem::path& exchange) {
                             const std::vector<TableCount> counts = runExport(file, exchange);
                             std::puts("Proceso finalizado");
                             for (const TableCount& count : counts)
                                 std::printf("%s: %zu %s\n", count.table.c_str(), count.records,
                                             count.records == 1 ? "registro" : "registros");
                         });
}

} // namespace enlazio::cli
