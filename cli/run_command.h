// SPDX-License-Identifier: MIT
// Purpose: what exportar and importar share: their arguments, the missing-file check and the exit statuses.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace enlazio::cli {

// Parses "FILE [--exchange DIR]" (also --help, --version), tests that FILE exists, then calls
// run with the file and the exchange folder (C:\ATEMP resolved, or DIR). run prints what it
// achieved; an exception from it is the run's failure.
int runOnDocument(std::string_view command, const char* usage, const std::vector<std::string>& args,
                  const std::function<void(const std::filesystem::path& file,
                                           const std::filesystem::path& exchange)>& run);

} // namespace enlazio::cli
