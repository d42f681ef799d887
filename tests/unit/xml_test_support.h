// SPDX-License-Identifier: MIT
// Purpose: what the service document tests share: a fresh temp folder, files written byte for byte, re-encoding.
#pragma once

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace enlazio::xmltest {

using TempFolder = testutil::TempFolder;

// A DTD whose entity "l<levels>" expands to ten times its predecessor, level after level,
// from a twelve-character l0.
inline std::string entityBombDoctype(int levels)
{
    std::string dtd = "<!DOCTYPE SERVICIO [<!ENTITY l0 \"lollollollol\">";
    for (int i = 1; i <= levels; ++i) {
        dtd += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            dtd += "&l" + std::to_string(i - 1) + ";";
        dtd += "\">";
    }
    return dtd + "]>\n";
}

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
