// SPDX-License-Identifier: MIT
// Purpose: the platform's text-to-integer conversion, used for minutes and the host window handle.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace enlazio {

// Optional '+' or '-', then decimal digits within the signed 32-bit range, or up to
// eight hexadecimal digits after "$", "x", "X", "0x" or "0X" taken as a 32-bit pattern.
std::optional<std::int32_t> tryStrToInt(std::string_view ansiText);

// As tryStrToInt; on failure throws Error(InvalidInteger) with
// "'<text>' no es un valor entero válido" (the text converted from Windows-1252 to UTF-8).
std::int32_t strToInt(std::string_view ansiText);

// Throws that same error for a text that is no integer.
[[noreturn]] void throwInvalidInteger(std::string_view ansiText);

} // namespace enlazio
