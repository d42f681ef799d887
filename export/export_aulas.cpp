// SPDX-License-Identifier: MIT
// Purpose: rooms (section AULAS) to AULAT; a room without a code is known by its Delphos identifier.
#include "export/conversions.h"
#include "export/table_layouts.h"

#include "formats/dbf_table.h"

#include <string>

namespace enlazio {

std::size_t exportarAulas(const SectionEntries& aulas, const std::filesystem::path& exchange)
{
    createTable(exchange, kTableAulat, kAulatLayout);
    TableWriter table(exchange, std::string(kTableAulat));
    table.open();
    std::size_t written = 0;
    for (std::size_t i = 0; i < aulas.entryCount(); ++i) {
        if (aulas.valueCount(i) < 2)
            continue;
        const std::string_view identifier = aulas.text(i, 0);
        std::string_view code = aulas.text(i, 1);
        if (code.empty())
            code = identifier; // each field cuts it to its own width
        table.append();
        table.setText("DEPCENTRO", identifier);
        table.setText("ABREV", code);
        table.setText("NOMBRE", aulas.text(i, 2));
        table.setText("EDIFICIO", aulas.text(i, 3));
        table.post();
        ++written;
    }
    table.close();
    return written;
}

} // namespace enlazio
