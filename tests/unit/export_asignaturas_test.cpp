// SPDX-License-Identifier: MIT
// Purpose: teaching assignments to ASIGT: copied positions, "NIV", and minutes to HORAS and SESIONES.
#include "export/conversions.h"

#include "export_test_support.h"
#include "formats/error.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace enlazio;
using namespace enlazio::testing;

namespace {

class ExportAsignaturas : public ExchangeFolderTest { };

std::vector<std::string> assignment(const std::string& minutes)
{
    return { "MAT1", "1ESA", "A1", "M", "ESO", "1º", "A", minutes, "1001" };
}

} // namespace

TEST_F(ExportAsignaturas, MinutesBecomeHoursAndSessions)
{
    struct Row {
        std::string minutes;
        double hours;
        std::string sessions;
    };
    const std::string ones13(13, '1');
    const std::vector<Row> rows = {
        { "", 1, "1" },
        { "0", 1, "1" },
        { "-30", 1, "1" },
        { "45", 1, "1" },
        { "59", 1, "1" },
        { "60", 1, "1" },
        { "61", 61 / 60.0, "11" },
        { "90", 1.5, "11" },
        { "150", 2.5, "111" },
        { "780", 13, ones13 },
        { "781", 781 / 60.0, "1" + ones13 },
        { "840", 14, "1" + ones13 },
        { "900", 15, "2" + ones13 },
        { "1380", 23, "10" + ones13 },
        { "+90", 1.5, "11" },
        { "$5A", 1.5, "11" },
        { "0x5a", 1.5, "11" },
        { "$FFFFFFFF", 1, "1" }, // the pattern of -1
        { "-2147483648", 1, "1" },
        // 35 791 395 sessions: the pattern has 21 characters and is cut to the field's 20.
        { "2147483647", 2147483647 / 60.0, std::string("35791382" + ones13).substr(0, 20) },
    };
    SectionEntries section;
    for (const Row& row : rows) {
        section.beginEntry();
        for (const std::string& text : assignment(row.minutes))
            section.addValue(std::nullopt, utf8ToCodePage(text));
    }
    // Two values only: no minutes at all.
    section.beginEntry();
    section.addValue(std::nullopt, "PLAS");
    section.addValue(std::nullopt, "1ESA");

    ASSERT_EQ(exportarAsignaturas(section, m_exchange), rows.size() + 1);
    const auto hours = readFloats(m_exchange, "ASIGT", "HORAS");
    const auto sessions = readRows(m_exchange, "ASIGT", { "SESIONES" });
    ASSERT_EQ(hours.size(), rows.size() + 1);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE("minutes '" + rows[i].minutes + "'");
        EXPECT_NEAR(hours[i], rows[i].hours, 1e-4);
        EXPECT_EQ(sessions[i][0], rows[i].sessions);
    }
    EXPECT_EQ(hours.back(), 1.0);
    EXPECT_EQ(sessions.back()[0], "1");
}

TEST_F(ExportAsignaturas, BadMinutesStopAfterTheRecordsBefore)
{
    for (const std::string bad : { "45.5", "abc", "2147483648", "$123456789", "1½" }) {
        SCOPED_TRACE(bad);
        const SectionEntries section = positional({ assignment("60"), assignment(bad), assignment("60") });
        try {
            exportarAsignaturas(section, m_exchange);
            ADD_FAILURE() << "no error";
        } catch (const Error& error) {
            EXPECT_EQ(error.code(), ErrorCode::InvalidInteger);
            EXPECT_EQ(std::string(error.what()), "'" + bad + "' no es un valor entero válido");
        }
        // The record under construction is not stored, and the table is free again for the
        // next round, which rebuilds it.
        EXPECT_EQ(readRows(m_exchange, "ASIGT", { "CASIG" }).size(), 1u);
    }
}

TEST_F(ExportAsignaturas, CopiesPositionsAndKeepsDuplicates)
{
    const SectionEntries section = positional({
        { "LENGUA", "1ESAX", "INFOR", "MT", "", "1º", "A", "120", "1006" },
        { "LENGUA", "1ESAX", "INFOR", "MT", "ESPAÑA", "1º", "A", "120", "1006" },
        { "PLAS" },
        {},
        { "PLAS", "2BTB" },
    });
    EXPECT_EQ(exportarAsignaturas(section, m_exchange), 3u);
    const std::vector<std::vector<std::string>> expected = {
        { "LENG", "", "1ESA", "INFO", "M", "NIV", "1º", "A", "11", "1006" },
        { "LENG", "", "1ESA", "INFO", "M", "ESPAÑ", "1º", "A", "11", "1006" },
        { "PLAS", "", "2BTB", "", "", "NIV", "", "", "1", "" },
    };
    EXPECT_EQ(readRows(m_exchange, "ASIGT",
                       { "CASIG", "CPROF", "CGRUP", "CAULA", "TURNO", "NIVEL", "CURSO", "GRUPO", "SESIONES",
                         "MATERIA" }),
              expected);
}
