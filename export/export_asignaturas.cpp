// SPDX-License-Identifier: MIT
// Purpose: teaching assignments (section ASIGNATURAS) to ASIGT, minutes turned into hours and sessions.
#include "export/conversions.h"
#include "export/table_layouts.h"

#include "formats/dbf_table.h"
#include "formats/int_conversion.h"

#include <cmath>
#include <string>

namespace enlazio {
namespace {

// Aularis reads n sessions as n "1"s up to 13; from 14 on as the count above 13 followed
// by thirteen "1"s (so 14 gives fourteen "1"s, 15 gives "2" and thirteen "1"s).
std::string sessionPattern(long long sessions)
{
    if (sessions <= 13)
        return std::string(static_cast<std::size_t>(sessions), '1');
    return std::to_string(sessions - 13) + std::string(13, '1');
}

void setHoursAndSessions(TableWriter& table, std::string_view minutesText)
{
    if (!minutesText.empty())
        table.setFloat("HORAS", strToInt(minutesText) / 60.0);
    // Work from what the field keeps, not from the quotient: that is what Aularis will read.
    if (!(table.getFloat("HORAS") >= 1.0))
        table.setFloat("HORAS", 1.0);
    const auto sessions = static_cast<long long>(std::ceil(table.getFloat("HORAS")));
    table.setText("SESIONES", sessionPattern(sessions));
}

} // namespace

std::size_t exportarAsignaturas(const SectionEntries& asignaturas, const std::filesystem::path& exchange)
{
    createTable(exchange, kTableAsigt, kAsigtLayout);
    TableWriter table(exchange, std::string(kTableAsigt));
    table.open();
    std::size_t written = 0;
    for (std::size_t i = 0; i < asignaturas.entryCount(); ++i) {
        if (asignaturas.valueCount(i) < 2)
            continue;
        std::string_view level = asignaturas.text(i, 4);
        if (level.empty())
            level = "NIV";
        // CPROF is Aularis's to fill; it stays empty.
        table.append();
        table.setText("CASIG", asignaturas.text(i, 0));
        table.setText("CGRUP", asignaturas.text(i, 1));
        table.setText("CAULA", asignaturas.text(i, 2));
        table.setText("TURNO", asignaturas.text(i, 3));
        table.setText("NIVEL", level);
        table.setText("CURSO", asignaturas.text(i, 5));
        table.setText("GRUPO", asignaturas.text(i, 6));
        // A bad minutes text throws here; the record under construction is never posted.
        setHoursAndSessions(table, asignaturas.text(i, 7));
        table.setText("MATERIA", asignaturas.text(i, 8));
        table.post();
        ++written;
    }
    table.close();
    return written;
}

} // namespace enlazio
