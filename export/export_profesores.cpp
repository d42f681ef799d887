// SPDX-License-Identifier: MIT
// Purpose: teachers (section PROFESORES) to PROFT.
#include "export/conversions.h"
#include "export/table_layouts.h"

#include "formats/dbf_table.h"

#include <string>

namespace enlazio {

std::size_t exportarProfesores(const SectionEntries& profesores, const std::filesystem::path& exchange)
{
    createTable(exchange, kTableProft, kProftLayout);
    TableWriter table(exchange, std::string(kTableProft));
    table.open();
    std::size_t written = 0;
    for (std::size_t i = 0; i < profesores.entryCount(); ++i) {
        if (profesores.valueCount(i) < 2)
            continue;
        // DEPART and DNI have no source in the document and stay empty.
        table.append();
        table.setText("X_EMPLEADO", profesores.text(i, 0));
        table.setText("F_TOMAPOS", profesores.text(i, 1));
        table.setText("NOMBRE", profesores.text(i, 2));
        table.setText("ABREV", profesores.text(i, 3));
        table.post();
        ++written;
    }
    table.close();
    return written;
}

} // namespace enlazio
