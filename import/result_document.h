// SPDX-License-Identifier: MIT
// Purpose: the import run: the timetable in SOLUC becomes the output part of the service document.
#pragma once

#include "formats/dbf_table.h"
#include "formats/service_document.h"

#include <cstddef>
#include <filesystem>

namespace enlazio {

// The window's seven table components, closed until an import run opens them.
struct ImportTables {
    TableComponent nomAsg{"wwTableNomAsg", "ASIGNOMT"};
    TableComponent profesor{"wwTableProfesor", "PROFT"};
    TableComponent aulas{"wwTableAulas", "AULAT"};
    TableComponent grupos{"wwTableGrupos", "GRUPOST"};
    TableComponent asig{"wwTableAsig", "ASIGT"};
    TableComponent tramos{"wwTableTramos", "DIASHORAST"};
    TableComponent soluc{"wwTableSoluc", "SOLUC"};
};

struct ImportSummary {
    std::filesystem::path resultPath;
    std::size_t teachers = 0;   // EMPLEADO_n sections written
    std::size_t activities = 0; // ACTIVIDAD_n entries written, over all teachers
};

// "ResultadoAulix" followed by the chosen file's name, in the chosen file's folder.
std::filesystem::path resultPathFor(const std::filesystem::path& chosenFile);

// Rebuilds SALIDAS of doc from the tables in exchange and saves the result beside
// chosenFile. The tables are closed at the end whatever happens. Throws Error.
ImportSummary buildResultDocument(ServiceDocument& doc, const std::filesystem::path& chosenFile,
                                  ImportTables& tables, const std::filesystem::path& exchange);

// The import run without a window: Error(FileNotFound, "No existe archivo") when no file
// exists at `file`; then load the tree and build the result.
ImportSummary runImport(const std::filesystem::path& file, const std::filesystem::path& exchange);

} // namespace enlazio
