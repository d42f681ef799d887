// SPDX-License-Identifier: MIT
// Purpose: Windows-style paths ("C:\ATEMP") mapped onto this system, matched without regard to case.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace enlazio {

// The exchange folder as the tool names it.
inline constexpr std::string_view kExchangeFolderWindows = "C:\\ATEMP";

// Root of drive C: $ENLAZIO_DRIVE_C, else $WINEPREFIX/drive_c, else ~/.wine/drive_c.
std::filesystem::path driveCRoot();

// "C:\ATEMP", "c:\atemp\delphos", "\brunm7\DELPHOS.HLP" (root of the current drive, C:)
// to a path here. Each component is matched against what exists without regard to letter
// case; components that do not exist keep the spelling as written. Native absolute
// paths pass through unchanged.
std::filesystem::path resolveWindowsPath(std::string_view windowsPath);

// The entry of dir whose name equals name apart from ASCII letter case, preferring an exact match.
std::optional<std::filesystem::path> findCaseInsensitive(const std::filesystem::path& dir,
                                                         std::string_view name);

// The exchange folder resolved: resolveWindowsPath(kExchangeFolderWindows).
std::filesystem::path exchangeFolder();

// Equal when letters A to Z are taken without case; every other byte must be the same.
// The way Windows compares file names, and the tool its verbs and INI names.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// True only for an existing regular file (a folder or an empty path gives false).
bool fileExists(const std::filesystem::path& path);

} // namespace enlazio
