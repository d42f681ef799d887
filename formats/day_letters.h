// SPDX-License-Identifier: MIT
// Purpose: the one table of day letters shared by the slot names of the export and the slot keys of the import.
#pragma once

#include <string_view>

namespace enlazio {

// Monday to Sunday: "L" is day 1, "D" day 7. Matched exactly, capitals only.
inline constexpr std::string_view kDayLetters = "LMXJVSD";

// Day number 1..7 of a letter, 0 when the character is not a day letter.
constexpr int dayNumberOfLetter(char letter)
{
    const auto at = kDayLetters.find(letter);
    return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

// The letter of a day number 1..7 as one-character text; empty for any other number.
constexpr std::string_view dayLetterOfNumber(int day)
{
    return day >= 1 && day <= 7 ? kDayLetters.substr(static_cast<std::size_t>(day - 1), 1) : std::string_view {};
}

} // namespace enlazio
