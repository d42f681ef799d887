// SPDX-License-Identifier: MIT
// Purpose: 8-bit code page tables, built once from the C library's iconv converters.
#include "formats/codepage.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace enlazio {
namespace {

constexpr char32_t kReplacementChar = 0xFFFD;

struct CodePageTable {
    std::array<char32_t, 256> toUnicode {};
    bool asciiUnchanged = false; // bytes below 0x80 are the same characters in UTF-8
    // Basic Multilingual Plane back to a byte; 0 means "not in the code page" (except U+0000).
    std::vector<unsigned char> fromUnicode = std::vector<unsigned char>(0x10000, 0);
};

const char* iconvName(CodePage cp)
{
    switch (cp) {
    case CodePage::Windows1252: return "CP1252";
    case CodePage::Ibm437: return "IBM437";
    case CodePage::Ibm850: return "IBM850";
    }
    return "CP1252";
}

CodePageTable buildTable(CodePage cp)
{
    CodePageTable table;
    iconv_t cd = iconv_open("UTF-32LE", iconvName(cp));
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error(std::string("iconv cannot convert from ") + iconvName(cp));
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        unsigned char out[4] = {};
        char* inPtr = &in;
        char* outPtr = reinterpret_cast<char*>(out);
        size_t inLeft = 1, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char32_t cpValue;
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || outLeft != 0)
            // Windows keeps the few undefined bytes of 1252 as the C1 control of the same
            // value; doing the same keeps every byte round-trippable.
            cpValue = b >= 0x80 && b < 0xA0 ? static_cast<char32_t>(b) : kReplacementChar;
        else
            cpValue = static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
        table.toUnicode[static_cast<size_t>(b)] = cpValue;
    }
    iconv_close(cd);
    table.asciiUnchanged = true;
    for (int b = 0; b < 0x80; ++b)
        table.asciiUnchanged = table.asciiUnchanged && table.toUnicode[static_cast<size_t>(b)] == static_cast<char32_t>(b);
    // Fill in reverse so that, should two bytes share a character, the lower byte wins.
    for (int b = 255; b >= 1; --b) {
        char32_t u = table.toUnicode[static_cast<size_t>(b)];
        if (u < 0x10000 && u != kReplacementChar)
            table.fromUnicode[u] = static_cast<unsigned char>(b);
    }
    return table;
}

const CodePageTable& tableFor(CodePage cp)
{
    // A static local is built once, thread-safely, and costs one test per call after that
    // (call_once costs a library call each time, and this runs for every value read).
    static const std::array<CodePageTable, 3> tables = {
        buildTable(CodePage::Windows1252), buildTable(CodePage::Ibm437), buildTable(CodePage::Ibm850)};
    return tables[static_cast<size_t>(cp)];
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 sequence at text[i]; advances i. Malformed input gives U+FFFD and
// advances by one byte so that decoding always makes progress.
char32_t decodeUtf8(std::string_view text, size_t& i)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
    if (length == 0 || i + static_cast<size_t>(length) > text.size()) {
        ++i;
        return kReplacementChar;
    }
    char32_t c = lead & (0xFF >> (length + 1));
    for (int k = 1; k < length; ++k) {
        unsigned char cont = byte(i + static_cast<size_t>(k));
        if ((cont & 0xC0) != 0x80) {
            ++i;
            return kReplacementChar;
        }
        c = c << 6 | (cont & 0x3F);
    }
    static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMinimum[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return kReplacementChar;
    }
    i += static_cast<size_t>(length);
    return c;
}

// End of the run of ASCII bytes that starts at `from`, eight bytes at a time.
size_t asciiRunEnd(std::string_view text, size_t from)
{
    constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
    size_t end = from;
    while (end + 8 <= text.size()) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + end, sizeof word);
        if ((word & kHighBits) != 0)
            break;
        end += 8;
    }
    while (end < text.size() && static_cast<unsigned char>(text[end]) < 0x80)
        ++end;
    return end;
}

} // namespace

CodePage codePageFromLanguageDriver(std::uint8_t ldid)
{
    switch (ldid) {
    case 0x01: case 0x18: case 0x1B: return CodePage::Ibm437;
    case 0x02: case 0x14: return CodePage::Ibm850;
    default: return CodePage::Windows1252;
    }
}

std::string utf8ToCodePage(std::string_view utf8, CodePage cp)
{
    std::string out;
    appendUtf8AsCodePage(out, utf8, cp);
    return out;
}

std::size_t utf8ToCodePage(std::string_view utf8, CodePage cp, char* out)
{
    const CodePageTable& table = tableFor(cp);
    char* const begin = out;
    for (size_t i = 0; i < utf8.size();) {
        if (table.asciiUnchanged) {
            // Most text is ASCII: copy each run of it whole.
            const size_t end = asciiRunEnd(utf8, i);
            if (end != i)
                std::memcpy(out, utf8.data() + i, end - i);
            out += end - i;
            i = end;
            if (i == utf8.size())
                break;
        }
        unsigned char b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80 && table.toUnicode[b] == b) {
            *out++ = static_cast<char>(b);
            ++i;
            continue;
        }
        // Every sequence, and every byte that starts none, gives one byte: never more than came in.
        char32_t c = decodeUtf8(utf8, i);
        unsigned char mapped = c < 0x10000 ? table.fromUnicode[c] : 0;
        *out++ = mapped != 0 || c == 0 ? static_cast<char>(mapped) : '?';
    }
    return static_cast<std::size_t>(out - begin);
}

void appendUtf8AsCodePage(std::string& out, std::string_view utf8, CodePage cp)
{
    const std::size_t used = out.size();
    out.resize(used + utf8.size());
    out.resize(used + utf8ToCodePage(utf8, cp, out.data() + used));
}

std::string codePageToUtf8(std::string_view bytes, CodePage cp)
{
    const CodePageTable& table = tableFor(cp);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (size_t i = 0; i < bytes.size();) {
        if (table.asciiUnchanged) {
            const size_t end = asciiRunEnd(bytes, i);
            out.append(bytes, i, end - i);
            i = end;
            if (i == bytes.size())
                break;
        }
        appendUtf8(out, table.toUnicode[static_cast<unsigned char>(bytes[i])]);
        ++i;
    }
    return out;
}

std::string recode(std::string_view bytes, CodePage from, CodePage to)
{
    if (from == to)
        return std::string(bytes);
    return utf8ToCodePage(codePageToUtf8(bytes, from), to);
}

std::string foldCaseAnsi(std::string_view ansi)
{
    std::string out(ansi);
    for (char& ch : out) {
        unsigned char c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
            c = static_cast<unsigned char>(c + 0x20);
        else if (c == 0x8A || c == 0x8C || c == 0x8E)
            c = static_cast<unsigned char>(c + 0x10);
        else if (c == 0x9F)
            c = 0xFF;
        ch = static_cast<char>(c);
    }
    return out;
}

} // namespace enlazio
