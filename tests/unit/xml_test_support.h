// SPDX-License-Identifier: MIT
// Purpose: what the service document tests share: a fresh temp folder, files written byte for byte, re-encoding.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace enlazio::xmltest {

class TempFolder {
public:
    TempFolder()
    {
        std::random_device random;
        m_path = std::filesystem::temp_directory_path() /
                 ("enlazio-xml-" + std::to_string(random()) + "-" + std::to_string(random()));
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    std::filesystem::path write(const std::string& name, std::string_view bytes) const
    {
        const std::filesystem::path file = m_path / name;
        std::ofstream out(file, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(out.good()) << file;
        return file;
    }

private:
    std::filesystem::path m_path;
};

inline std::string readBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// UTF-8 decoded to code points (the fixtures are valid UTF-8).
inline std::u32string decodeUtf8(std::string_view utf8)
{
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const int length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        char32_t cp = length == 1 ? byte : length == 2 ? byte & 0x1F : length == 3 ? byte & 0x0F : byte & 0x07;
        for (int k = 1; k < length; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
        out.push_back(cp);
        i += static_cast<std::size_t>(length);
    }
    return out;
}

enum class Encoding { Utf8, Utf8Bom, Utf16LeBom, Utf16BeBom, Latin1, Windows1252 };

// Re-encodes a UTF-8 fixture. Latin-1 and 1252 hold only what the fixture puts in them:
// code points below U+0100, and the euro sign for 1252.
inline std::string encode(std::string_view utf8, Encoding encoding)
{
    std::string out;
    switch (encoding) {
    case Encoding::Utf8:
        return std::string(utf8);
    case Encoding::Utf8Bom:
        return "\xEF\xBB\xBF" + std::string(utf8);
    case Encoding::Utf16LeBom:
    case Encoding::Utf16BeBom: {
        const bool little = encoding == Encoding::Utf16LeBom;
        out = little ? "\xFF\xFE" : "\xFE\xFF";
        for (char32_t cp : decodeUtf8(utf8)) {
            EXPECT_LT(cp, 0x10000u);
            const char high = static_cast<char>(cp >> 8);
            const char low = static_cast<char>(cp & 0xFF);
            out += little ? std::string{low, high} : std::string{high, low};
        }
        return out;
    }
    case Encoding::Latin1:
    case Encoding::Windows1252:
        for (char32_t cp : decodeUtf8(utf8)) {
            if (cp == 0x20AC && encoding == Encoding::Windows1252)
                out += '\x80';
            else {
                EXPECT_LT(cp, 0x100u);
                out += static_cast<char>(cp);
            }
        }
        return out;
    }
    return out;
}

} // namespace enlazio::xmltest
