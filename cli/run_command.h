// SPDX-License-Identifier: MIT
// Purpose: what the commands share: the version line, --exchange, and for exportar and importar their whole run.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace enlazio::cli {

// "enlazio-cli <version>" on standard output.
void printVersion();

// True for "--exchange" and "--exchange=DIR".
bool isExchangeOption(const std::string& arg);

// The folder of the --exchange option at args[i], which moves past a separate DIR. False,
// with the usage problem said, when DIR is missing or empty.
bool takeExchange(const std::vector<std::string>& args, std::size_t& i, std::string& dir, std::string& problem);

// Parses "FILE [--exchange DIR]" (also --help, --version), tests that FILE exists, then calls
// run with the file and the exchange folder (C:\ATEMP resolved, or DIR). run prints what it
// achieved; an exception from it is the run's failure.
int runOnDocument(std::string_view command, const char* usage, const std::vector<std::string>& args,
                  const std::function<void(const std::filesystem::path& file,
                                           const std::filesystem::path& exchange)>& run);

} // namespace enlazio::cli
