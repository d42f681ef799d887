// SPDX-License-Identifier: MIT
// Purpose: our profile-string writer for Aularis.ini: one key changed, every other byte kept.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace enlazio {

// content with key=value set in [section], as the Windows profile writer does it:
// section and key found whatever their ASCII letter case (the first of each counts),
// an existing value replaced in place, a missing key added after the section's last
// non-blank line, a missing section added at the end. Lines starting with ';' are
// comments. New lines take the line ending the content already uses (CRLF when none).
std::string setProfileString(std::string_view content, std::string_view section, std::string_view key,
                             std::string_view value);

// Reads file (a missing file counts as empty), applies setProfileString and replaces the
// file atomically: a temporary file in the same folder, flushed, then renamed over it.
// A symbolic link is followed, so the file it names is the one replaced.
// Throws Error(SettingsWrite) "Unable to write to <file>" and leaves the file as it was.
void writeProfileString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                        std::string_view value);

void writeProfileInteger(const std::filesystem::path& file, std::string_view section, std::string_view key,
                         std::int32_t value);

} // namespace enlazio
