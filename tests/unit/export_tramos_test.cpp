// SPDX-License-Identifier: MIT
// Purpose: time slots to DIASHORAST: values by their exact dato names, day and hour from the slot name.
#include "export/conversions.h"

#include "export_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace enlazio;
using namespace enlazio::testing;

namespace {

class ExportTramos : public ExchangeFolderTest { };

const std::vector<std::string> kAllFields
    = { "DIHO", "CODDIHO", "DIA", "TEXTODIA", "HORA", "HORADESDE", "HORAHASTA", "MINUTOS" };

} // namespace

TEST_F(ExportTramos, SlotNameGivesDayAndHour)
{
    struct Row {
        std::string name, diho, dia, hora;
    };
    const std::vector<Row> rows = {
        { "L1", "L1", "1", "1" },
        { "M6", "M6", "2", "6" },
        { "X10", "X10", "3", "10" },
        { "J2", "J2", "4", "2" },
        { "V123", "V123", "5", "12" },
        { "S5", "S5", "6", "5" },
        { "D3", "D3", "7", "3" },
        { "l1", "l1", "l", "1" },
        { "L", "L", "1", "" },
        { "Q2", "Q2", "Q", "2" },
        { "", "", "", "" },
        { "Ñañ", "Ñañ", "Ñ", "añ" },
        // DIHO is cut to its ten characters; the day and hour come from the whole name.
        { "L1234567890123", "L123456789", "1", "12" },
    };
    SectionEntries section;
    for (const Row& row : rows) {
        section.beginEntry();
        section.addValue("NOMBRE", utf8ToCodePage(row.name));
    }
    ASSERT_EQ(exportarTramos(section, m_exchange), rows.size());
    const auto stored = readRows(m_exchange, "DIASHORAST", { "DIHO", "DIA", "HORA" });
    ASSERT_EQ(stored.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE("slot name '" + rows[i].name + "'");
        EXPECT_EQ(stored[i], (std::vector<std::string> { rows[i].diho, rows[i].dia, rows[i].hora }));
    }
}

TEST_F(ExportTramos, ValuesAreFoundByTheirExactNames)
{
    const SectionEntries section = named({
        { { "FIN", "09:25" }, { "NINUTOS", "55" }, { "CODIGO_DELPHOS", "T01" }, { "INICIO", "08:30" },
          { "NOMBRE", "L1" }, { "OTRO", "x" } },
        {}, // no values: a record all the same, every field empty
        { { "CODIGO_DELPHOS", "T03" }, { "NOMBRE", "L4" }, { "DIA", "M4" } },
        { { "CODIGO_DELPHOS", "T04" }, { "DIA", "M5" }, { "NOMBRE", "L5" } },
        // Other spellings feed nothing, and nothing carries over from the entry before.
        { { "nombre", "L7" }, { "Nombre", "L7" }, { "NOMBRE ", "L8" }, { std::nullopt, "L9" }, { "MINUTOS", "55" } },
        { { "CODIGO_DELPHOS", "T06" }, { "NOMBRE", "J2" }, { "FIN", "14:30" }, { "FIN", "14:35" },
          { "CODIGO_DELPHOS", "T6B" } },
        { { "CODIGO_DELPHOS", "T01B" }, { "NOMBRE", "L1" } },
    });
    const std::vector<std::vector<std::string>> expected = {
        { "L1", "T01", "1", "", "1", "08:30", "09:25", "55" },
        { "", "", "", "", "", "", "", "" },
        { "M4", "T03", "2", "", "4", "", "", "" },
        { "L5", "T04", "1", "", "5", "", "", "" },
        { "", "", "", "", "", "", "", "" },
        { "J2", "T6B", "4", "", "2", "", "14:35", "" },
        { "L1", "T01B", "1", "", "1", "", "", "" },
    };
    EXPECT_EQ(exportarTramos(section, m_exchange), expected.size());
    EXPECT_EQ(readRows(m_exchange, "DIASHORAST", kAllFields), expected);
}
