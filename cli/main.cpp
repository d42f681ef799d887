// SPDX-License-Identifier: MIT
// Purpose: enlazio-cli entry point: picks the subcommand.
#include "cli/commands.h"
#include "cli/run_command.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "uso: enlazio-cli <orden> [argumentos]\n"
    "\n"
    "órdenes:\n"
    "  exportar ARCHIVO [--exchange DIR]   documento de servicio -> seis tablas de intercambio\n"
    "  importar ARCHIVO [--exchange DIR]   SOLUC y las seis tablas -> documento de resultado\n"
    "  mostrar TABLA [--exchange DIR] [--csv]   muestra el contenido de una tabla dBase\n"
    "\n"
    "  --help      esta ayuda\n"
    "  --version   versión del programa\n"
    "\n"
    "Estado de salida: 0 terminado, 1 fallo, 2 uso incorrecto, 3 no existe el archivo.\n";

} // namespace

int main(int argc, char** argv)
{
    using namespace enlazio::cli;
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (command == "--version") {
        printVersion();
        return kExitOk;
    }
    if (command == "mostrar")
        return cmdMostrar(args);
    if (command == "exportar")
        return cmdExportar(args);
    if (command == "importar")
        return cmdImportar(args);
    std::fprintf(stderr, "enlazio-cli: orden desconocida '%s'\n\n", command.c_str());
    std::fputs(kUsage, stderr);
    return kExitUsage;
}
