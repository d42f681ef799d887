// SPDX-License-Identifier: MIT
// Purpose: text to 32-bit integer with the platform's syntax: sign, decimal, or hexadecimal after $/x/0x.
#include "formats/int_conversion.h"

#include "formats/codepage.h"
#include "formats/error.h"

#include <string>

namespace enlazio {

std::optional<std::int32_t> tryStrToInt(std::string_view text)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::string_view rest = text.substr(i);
    bool hex = false;
    if (rest.starts_with("$") || rest.starts_with("x") || rest.starts_with("X")) {
        hex = true;
        rest.remove_prefix(1);
    } else if (rest.starts_with("0x") || rest.starts_with("0X")) {
        hex = true;
        rest.remove_prefix(2);
    }
    if (rest.empty())
        return std::nullopt;

    if (hex) {
        if (rest.size() > 8)
            return std::nullopt;
        std::uint32_t pattern = 0;
        for (char c : rest) {
            int digit = c >= '0' && c <= '9' ? c - '0'
                : c >= 'a' && c <= 'f'       ? c - 'a' + 10
                : c >= 'A' && c <= 'F'       ? c - 'A' + 10
                                             : -1;
            if (digit < 0)
                return std::nullopt;
            pattern = pattern << 4 | static_cast<std::uint32_t>(digit);
        }
        // The hexadecimal digits are a 32-bit pattern; a sign then negates that value.
        std::uint32_t result = negative ? 0u - pattern : pattern;
        return static_cast<std::int32_t>(result);
    }

    std::int64_t value = 0;
    for (char c : rest) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 2147483648LL)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::int32_t strToInt(std::string_view ansiText)
{
    if (auto value = tryStrToInt(ansiText))
        return *value;
    throwInvalidInteger(ansiText);
}

void throwInvalidInteger(std::string_view ansiText)
{
    throw Error(ErrorCode::InvalidInteger, "'" + codePageToUtf8(ansiText) + "' no es un valor entero válido");
}

} // namespace enlazio
