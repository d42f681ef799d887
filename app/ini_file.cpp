// SPDX-License-Identifier: MIT
// Purpose: our profile-string writer for Aularis.ini: one key changed, every other byte kept.
#include "app/ini_file.h"

#include "formats/error.h"
#include "formats/win_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace enlazio {
namespace {

struct Line {
    std::size_t begin = 0;
    std::size_t textEnd = 0; // before the line ending
    std::size_t end = 0;     // after the line ending
};

std::vector<Line> splitLines(std::string_view content)
{
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < content.size()) {
        Line line;
        line.begin = pos;
        std::size_t nl = content.find('\n', pos);
        if (nl == std::string_view::npos) {
            line.textEnd = line.end = content.size();
        } else {
            line.end = nl + 1;
            line.textEnd = nl > pos && content[nl - 1] == '\r' ? nl - 1 : nl;
        }
        lines.push_back(line);
        pos = line.end;
    }
    return lines;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// "[name]" gives name; a header whose ']' is missing runs to the end of the line.
std::optional<std::string_view> sectionName(std::string_view text)
{
    text = trim(text);
    if (text.empty() || text.front() != '[')
        return std::nullopt;
    text.remove_prefix(1);
    return trim(text.substr(0, text.find(']')));
}

std::string_view lineEnding(std::string_view content)
{
    std::size_t nl = content.find('\n');
    if (nl != std::string_view::npos && (nl == 0 || content[nl - 1] != '\r'))
        return "\n";
    return "\r\n";
}

[[noreturn]] void failWrite(const fs::path& file)
{
    throw Error(ErrorCode::SettingsWrite, "Unable to write to " + file.string());
}

} // namespace

std::string setProfileString(std::string_view content, std::string_view section, std::string_view key,
                             std::string_view value)
{
    const std::vector<Line> lines = splitLines(content);
    const std::string_view eol = lineEnding(content);

    bool inSection = false;
    std::optional<std::size_t> lastOfSection; // last non-blank line of the section, its header included
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view text = content.substr(lines[i].begin, lines[i].textEnd - lines[i].begin);
        if (auto name = sectionName(text)) {
            if (inSection)
                break; // the next section: the key is missing
            if (!lastOfSection && equalsIgnoringAsciiCase(*name, section)) {
                inSection = true;
                lastOfSection = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        const std::string_view trimmed = trim(text);
        if (trimmed.empty())
            continue;
        lastOfSection = i;
        if (trimmed.front() == ';')
            continue;
        const std::size_t eq = text.find('=');
        if (eq == std::string_view::npos || !equalsIgnoringAsciiCase(trim(text.substr(0, eq)), key))
            continue;
        // The value starts after '=' and the blanks that follow it; those stay as written.
        std::size_t valueBegin = lines[i].begin + eq + 1;
        while (valueBegin < lines[i].textEnd && isBlank(content[valueBegin]))
            ++valueBegin;
        std::string result(content.substr(0, valueBegin));
        result += value;
        result += content.substr(lines[i].textEnd);
        return result;
    }

    std::string entry = std::string(key) + "=" + std::string(value) + std::string(eol);
    if (lastOfSection) {
        const Line& after = lines[*lastOfSection];
        std::string result(content.substr(0, after.end));
        if (after.end == after.textEnd)
            result += eol; // the file's last line had no line ending
        result += entry;
        result += content.substr(after.end);
        return result;
    }
    std::string result(content);
    if (!result.empty() && result.back() != '\n')
        result += eol;
    result += "[" + std::string(section) + "]" + std::string(eol);
    result += entry;
    return result;
}

void writeProfileString(const fs::path& file, std::string_view section, std::string_view key,
                        std::string_view value)
{
    std::error_code ec;
    fs::path target = file;
    if (fs::is_symlink(file, ec)) {
        target = fs::read_symlink(file, ec);
        if (ec)
            failWrite(file);
        if (target.is_relative())
            target = file.parent_path() / target;
    }

    std::string content;
    struct stat info {};
    const bool exists = ::stat(target.c_str(), &info) == 0;
    if (exists) {
        // Like the Windows writer, a read-only file is not replaced behind its owner's back.
        if (!S_ISREG(info.st_mode) || ::access(target.c_str(), W_OK) != 0)
            failWrite(file);
        std::ifstream in(target, std::ios::binary);
        if (!in)
            failWrite(file);
        content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad())
            failWrite(file);
    } else if (errno != ENOENT) {
        failWrite(file);
    }

    const std::string updated = setProfileString(content, section, key, value);

    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        failWrite(file);
    const fs::path temporary = pattern;
    auto abandon = [&] {
        ::close(fd);
        ::unlink(temporary.c_str());
        failWrite(file);
    };
    const mode_t mode = exists ? (info.st_mode & 07777) : [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    if (::fchmod(fd, mode) != 0)
        abandon();
    std::size_t written = 0;
    while (written < updated.size()) {
        const ssize_t n = ::write(fd, updated.data() + written, updated.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            abandon();
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0)
        abandon();
    if (::close(fd) != 0) {
        ::unlink(temporary.c_str());
        failWrite(file);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        failWrite(file);
    }
    // The rename itself reaches the disk with the folder's entry.
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void writeProfileInteger(const fs::path& file, std::string_view section, std::string_view key, std::int32_t value)
{
    writeProfileString(file, section, key, std::to_string(value));
}

} // namespace enlazio
