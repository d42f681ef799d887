// SPDX-License-Identifier: MIT
// Purpose: the subcommands of enlazio-cli, one file each.
#pragma once

#include <string>
#include <vector>

namespace enlazio::cli {

// Exit statuses shared by every subcommand.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoFile = 3;

// args are the subcommand's own arguments (after its name).
int cmdMostrar(const std::vector<std::string>& args);
int cmdExportar(const std::vector<std::string>& args);
int cmdImportar(const std::vector<std::string>& args);

} // namespace enlazio::cli
