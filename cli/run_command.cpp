// SPDX-License-Identifier: MIT
// Purpose: what the commands share: the version line, --exchange, and the run of exportar and importar.
#include "cli/run_command.h"

#include "cli/commands.h"
#include "formats/win_path.h"

#include <cstdio>
#include <exception>
#include <optional>

namespace enlazio::cli {

void printVersion()
{
    std::printf("enlazio-cli %s\n", ENLAZIO_VERSION);
}

bool isExchangeOption(const std::string& arg)
{
    return arg == "--exchange" || arg.starts_with("--exchange=");
}

bool takeExchange(const std::vector<std::string>& args, std::size_t& i, std::string& dir, std::string& problem)
{
    if (args[i] == "--exchange") {
        if (i + 1 == args.size()) {
            problem = "falta la carpeta tras --exchange";
            return false;
        }
        dir = args[++i];
    } else {
        dir = args[i].substr(std::string_view("--exchange=").size());
    }
    if (dir.empty()) {
        problem = "la carpeta de --exchange está vacía";
        return false;
    }
    return true;
}

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
            printVersion();
            return kExitOk;
        }
        if (isExchangeOption(arg)) {
            std::string dir;
            std::string problem;
            if (!takeExchange(args, i, dir, problem))
                return usageError(problem);
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
