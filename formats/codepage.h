// SPDX-License-Identifier: MIT
// Purpose: 8-bit code pages: the tool's working text is Windows-1252, tables may declare others.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace enlazio {

enum class CodePage { Windows1252, Ibm437, Ibm850 };

// The ANSI code page of a Spanish Windows system: every 8-bit text the core passes
// around (values read from the document, fields of the tables) is in this code page.
inline constexpr CodePage kAnsiCodePage = CodePage::Windows1252;

// Language-driver byte (offset 29 of a dBase header) that we write: Windows ANSI 1252.
inline constexpr std::uint8_t kAnsiLanguageDriver = 0x57;

// 0x01, 0x18, 0x1B: 437; 0x02, 0x14: 850; every other id (0 and unknown included): 1252.
CodePage codePageFromLanguageDriver(std::uint8_t ldid);

// UTF-8 to 8-bit; a character the code page lacks becomes '?'. Invalid UTF-8 bytes also become '?'.
std::string utf8ToCodePage(std::string_view utf8, CodePage cp = kAnsiCodePage);
// The same, appended to out: a caller converting many values converts them into place.
void appendUtf8AsCodePage(std::string& out, std::string_view utf8, CodePage cp = kAnsiCodePage);
// The same, written to out, which has room for utf8.size() bytes (the 8-bit text is never
// longer); returns the bytes written.
std::size_t utf8ToCodePage(std::string_view utf8, CodePage cp, char* out);
// 8-bit to UTF-8; bytes the code page leaves undefined map to U+FFFD.
std::string codePageToUtf8(std::string_view bytes, CodePage cp = kAnsiCodePage);
// 8-bit text from one code page to another (through Unicode), '?' where the target lacks it.
std::string recode(std::string_view bytes, CodePage from, CodePage to);

// Letter case folded to small letters as a Spanish locale does on Windows-1252: A-Z,
// the accented capitals À..Þ (but not ×), and Š, Œ, Ž, Ÿ pair with their small letters.
std::string foldCaseAnsi(std::string_view ansi);

} // namespace enlazio
