// SPDX-License-Identifier: MIT
// Purpose: groups (section GRUPOS) to GRUPOST; a group without a level gets "NIV".
#include "export/conversions.h"
#include "export/table_layouts.h"

#include "formats/dbf_table.h"

#include <string>

namespace enlazio {

std::size_t exportarGrupos(const SectionEntries& grupos, const std::filesystem::path& exchange)
{
    createTable(exchange, kTableGrupost, kGrupostLayout);
    TableWriter table(exchange, std::string(kTableGrupost));
    table.open();
    std::size_t written = 0;
    for (std::size_t i = 0; i < grupos.entryCount(); ++i) {
        if (grupos.valueCount(i) < 2)
            continue;
        std::string_view level = grupos.text(i, 3);
        if (level.empty())
            level = "NIV";
        table.append();
        table.setText("UNIDAD", grupos.text(i, 0));
        table.setText("ABREV", grupos.text(i, 1));
        table.setText("TURNO", grupos.text(i, 2));
        table.setText("NIVEL", level);
        table.setText("CURSO", grupos.text(i, 4));
        table.setText("GRUPO", grupos.text(i, 5));
        table.post();
        ++written;
    }
    table.close();
    return written;
}

} // namespace enlazio
