// SPDX-License-Identifier: MIT
// Purpose: argument handling and exit statuses shared by exportar and importar.
#include "cli/run_command.h"

#include "cli/commands.h"
#include "formats/win_path.h"

#include <cstdio>
#include <exception>
#include <optional>

namespace enlazio::cli {

int runOnDocument(std::string_view command, const char* usage, const std::vector<std::string>& args,
                  const std::function<void(const std::filesystem::path& file,
                                           const std::filesystem::path& exchange)>& run)
{
    const auto usageError = [&](const std::string& problem) {
        std::fprintf(stderr, "enlazio-cli %.*s: %s\n", static_cast<int>(command.size()), command.data(),
                     problem.c_str());
        std::fputs(usage, stderr);
        return kExitUsage;
    };

    std::optional<std::string> file;
    std::optional<std::filesystem::path> exchange;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
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

    // Tested here, not only in the core: for the core a missing table is a missing file
    // too, but only a missing document has an exit status of its own.
    if (!fileExists(*file)) {
        std::fputs("No existe archivo\n", stderr);
        return kExitNoFile;
    }
    try {
        run(*file, exchange ? *exchange : exchangeFolder());
        return kExitOk;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return kExitFailed;
    }
}

} // namespace enlazio::cli
