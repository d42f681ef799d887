// SPDX-License-Identifier: MIT
// Purpose: subjects (section MATERIAS) to ASIGNOMT, one record per subject code.
#include "export/conversions.h"
#include "export/table_layouts.h"

#include "formats/codepage.h"
#include "formats/dbf_table.h"

#include <string>
#include <unordered_set>

namespace enlazio {

std::size_t exportarMaterias(const SectionEntries& materias, const std::filesystem::path& exchange)
{
    createTable(exchange, kTableAsignomt, kAsignomtLayout);
    TableWriter table(exchange, std::string(kTableAsignomt));
    // Codes already written, whole (before the cut to COD's width) and case-folded, so that
    // LENG1 and LENG2 both stay while MAT1 and mat1 are one subject. The first entry wins.
    std::unordered_set<std::string> writtenCodes;
    table.open();
    std::size_t written = 0;
    for (std::size_t i = 0; i < materias.entryCount(); ++i) {
        if (materias.valueCount(i) < 2)
            continue;
        const std::string_view code = materias.text(i, 1);
        if (!writtenCodes.insert(foldCaseAnsi(code)).second)
            continue;
        table.append();
        table.setText("MATERIA", materias.text(i, 0));
        table.setText("COD", code);
        table.setText("CODLARGO", materias.text(i, 2));
        table.setText("NOMBRE", materias.text(i, 3));
        table.post();
        ++written;
    }
    table.close();
    return written;
}

} // namespace enlazio
