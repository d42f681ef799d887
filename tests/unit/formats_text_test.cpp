// SPDX-License-Identifier: MIT
// Purpose: code page conversion, case folding and the text-to-integer conversion.
#include "formats/codepage.h"
#include "formats/error.h"
#include "formats/int_conversion.h"

#include <gtest/gtest.h>

#include <optional>

using namespace enlazio;

TEST(CodePage, SpanishTextRoundTripsThroughWindows1252)
{
    const std::string utf8 = "Educación Física, Año, ¿Qué? €";
    std::string ansi = utf8ToCodePage(utf8);
    EXPECT_EQ(ansi, "Educaci\xF3n F\xEDsica, A\xF1o, \xBFQu\xE9? \x80");
    EXPECT_EQ(codePageToUtf8(ansi), utf8);
}

TEST(CodePage, CharacterTheCodePageLacksBecomesQuestionMark)
{
    EXPECT_EQ(utf8ToCodePage("Łódź 東京"), "?\xF3" "d? ??");
    EXPECT_EQ(utf8ToCodePage("a\xFF" "b"), "a?b"); // invalid UTF-8
}

// The form that appends to a caller's buffer gives the same bytes as the other, for runs
// of ASCII around other characters, in every code page, and keeps what the buffer held.
TEST(CodePage, ConversionAppendedToABufferKeepsWhatItHeld)
{
    const std::string texts[] = {"", "ASCII solo", "ñ al principio", "al final ñ", "a\xFF" "b\xC3", "Łódź y más",
                                 std::string(1000, 'x') + "€" + std::string(10, 'y')};
    for (const CodePage cp : {CodePage::Windows1252, CodePage::Ibm437, CodePage::Ibm850}) {
        std::string buffer = "lo que había";
        std::string expected = buffer;
        for (const std::string& text : texts) {
            appendUtf8AsCodePage(buffer, text, cp);
            expected += utf8ToCodePage(text, cp);
            EXPECT_EQ(buffer, expected) << text;
        }
    }
    std::string buffer = "x";
    appendUtf8AsCodePage(buffer, "Pe\xC3\xB1" "a");
    EXPECT_EQ(buffer, "xPe\xF1" "a");
}

TEST(CodePage, DosCodePagesDecodeTheirOwnLetters)
{
    EXPECT_EQ(codePageToUtf8("\xA4\x81", CodePage::Ibm437), "ñü");
    EXPECT_EQ(codePageToUtf8("\xA5\xB5", CodePage::Ibm850), "ÑÁ");
    EXPECT_EQ(recode("\xA4", CodePage::Ibm850, CodePage::Windows1252), "\xF1");
}

TEST(CodePage, LanguageDriverBytesChooseTheCodePage)
{
    EXPECT_EQ(codePageFromLanguageDriver(0x57), CodePage::Windows1252);
    EXPECT_EQ(codePageFromLanguageDriver(0x03), CodePage::Windows1252);
    EXPECT_EQ(codePageFromLanguageDriver(0x00), CodePage::Windows1252);
    EXPECT_EQ(codePageFromLanguageDriver(0x01), CodePage::Ibm437);
    EXPECT_EQ(codePageFromLanguageDriver(0x1B), CodePage::Ibm437);
    EXPECT_EQ(codePageFromLanguageDriver(0x02), CodePage::Ibm850);
    EXPECT_EQ(codePageFromLanguageDriver(0x14), CodePage::Ibm850);
    EXPECT_EQ(codePageFromLanguageDriver(0xF0), CodePage::Windows1252);
}

TEST(CodePage, CaseFoldingPairsAccentedLetters)
{
    EXPECT_EQ(foldCaseAnsi(utf8ToCodePage("MATEMÁTICAS ÑÜ ŠŒŽŸ")), utf8ToCodePage("matemáticas ñü šœžÿ"));
    EXPECT_EQ(foldCaseAnsi("\xD7\xDF"), "\xD7\xDF"); // × and ß have no pair
}

struct IntCase {
    const char* text;
    std::optional<std::int32_t> value;
};

TEST(StrToInt, FollowsThePlatformSyntax)
{
    const IntCase cases[] = {
        {"61", 61}, {"780", 780}, {"-30", -30}, {"+90", 90}, {"$5A", 90}, {"x5a", 90}, {"X5A", 90},
        {"0x5A", 90}, {"0X5a", 90}, {"-$10", -16}, {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN}, {"$FFFFFFFF", -1}, {"$80000000", INT32_MIN}, {"0012", 12},
        {"2147483648", std::nullopt}, {"$123456789", std::nullopt}, {"45.5", std::nullopt},
        {"abc", std::nullopt}, {"", std::nullopt}, {"$", std::nullopt}, {"-", std::nullopt},
        {" 5", std::nullopt}, {"5 ", std::nullopt}, {"$zz", std::nullopt}, {"1e3", std::nullopt},
        {"--5", std::nullopt}, {"0x", std::nullopt},
    };
    for (const IntCase& c : cases)
        EXPECT_EQ(tryStrToInt(c.text), c.value) << "text '" << c.text << "'";
}

TEST(StrToInt, ErrorQuotesTheTextInUtf8)
{
    try {
        strToInt("\xF1" "o");
        FAIL() << "expected an error";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::InvalidInteger);
        EXPECT_STREQ(e.what(), "'ño' no es un valor entero válido");
    }
}
