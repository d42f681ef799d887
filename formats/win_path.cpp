// SPDX-License-Identifier: MIT
// Purpose: map Windows-style paths onto this system's folders, the way a program under Wine sees them.
#include "formats/win_path.h"

#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace enlazio {
namespace {

std::string envOr(const char* name, const std::string& fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

std::vector<std::string> splitComponents(std::string_view path)
{
    std::vector<std::string> parts;
    std::string current;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!current.empty())
                parts.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        parts.push_back(std::move(current));
    return parts;
}

} // namespace

fs::path driveCRoot()
{
    if (const char* drive = std::getenv("ENLAZIO_DRIVE_C"); drive != nullptr && *drive != '\0')
        return fs::path(drive);
    std::string prefix = envOr("WINEPREFIX", envOr("HOME", ".") + "/.wine");
    return fs::path(prefix) / "drive_c";
}

std::optional<fs::path> findCaseInsensitive(const fs::path& dir, std::string_view name)
{
    std::error_code ec;
    fs::path exact = dir / std::string(name);
    if (fs::exists(fs::symlink_status(exact, ec)))
        return exact;
    std::optional<fs::path> found;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (equalsIgnoringAsciiCase(entry, name)) {
            // Several spellings may exist; take the smallest name so the choice is stable.
            if (!found || entry < found->filename().string())
                found = it->path();
        }
    }
    return found;
}

fs::path resolveWindowsPath(std::string_view windowsPath)
{
#ifdef _WIN32
    return fs::path(std::string(windowsPath));
#else
    if (windowsPath.starts_with("/"))
        return fs::path(std::string(windowsPath));

    fs::path base;
    std::string_view rest = windowsPath;
    bool hasDrive = rest.size() >= 2 && rest[1] == ':'
        && ((rest[0] >= 'A' && rest[0] <= 'Z') || (rest[0] >= 'a' && rest[0] <= 'z'));
    if (hasDrive) {
        char letter = static_cast<char>(rest[0] | 0x20);
        // Drive C: is the shared one; other letters follow Wine's dosdevices links.
        base = letter == 'c' ? driveCRoot()
                             : driveCRoot().parent_path() / "dosdevices" / std::string { letter, ':' };
        rest.remove_prefix(2);
    } else if (rest.starts_with("\\")) {
        base = driveCRoot(); // root of the current drive, which is always C: here
    } else {
        base = fs::path(".");
    }

    fs::path resolved = base;
    bool matching = true;
    for (const std::string& part : splitComponents(rest)) {
        if (part == ".")
            continue;
        if (part == "..") {
            resolved = resolved.parent_path();
            continue;
        }
        if (matching) {
            if (auto existing = findCaseInsensitive(resolved, part)) {
                resolved = *existing;
                continue;
            }
            matching = false; // below a missing component nothing can exist
        }
        resolved /= part;
    }
    if (!hasDrive && !windowsPath.starts_with("\\") && resolved.string().starts_with("./"))
        resolved = resolved.lexically_relative(".");
    return resolved;
#endif
}

fs::path exchangeFolder()
{
    return resolveWindowsPath(kExchangeFolderWindows);
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; };
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

bool fileExists(const fs::path& path)
{
    if (path.empty())
        return false;
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

} // namespace enlazio
