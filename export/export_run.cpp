// SPDX-License-Identifier: MIT
// Purpose: the export run: the document's six sections rebuild the six exchange tables, in order.
#include "export/conversions.h"
#include "export/table_layouts.h"

#include "formats/error.h"
#include "formats/win_path.h"

namespace enlazio {

std::vector<TableCount> exportConversions(const ServiceSections& sections, const std::filesystem::path& exchange)
{
    // The order matters to the user: a failure half-way leaves the tables before it rebuilt
    // and the ones after it as they were.
    std::vector<TableCount> counts;
    counts.reserve(kExportTables.size());
    counts.push_back({ std::string(kTableAsignomt), exportarMaterias(sections.materias, exchange) });
    counts.push_back({ std::string(kTableProft), exportarProfesores(sections.profesores, exchange) });
    counts.push_back({ std::string(kTableAulat), exportarAulas(sections.aulas, exchange) });
    counts.push_back({ std::string(kTableGrupost), exportarGrupos(sections.grupos, exchange) });
    counts.push_back({ std::string(kTableAsigt), exportarAsignaturas(sections.asignaturas, exchange) });
    counts.push_back({ std::string(kTableDiashorast), exportarTramos(sections.tramos, exchange) });
    return counts;
}

std::vector<TableCount> runExport(const std::filesystem::path& file, const std::filesystem::path& exchange)
{
    if (!fileExists(file))
        throw Error(ErrorCode::FileNotFound, "No existe archivo");
    // Read whole before the first table is rebuilt, so that a broken document touches none.
    const ServiceSections sections = readServiceSections(file);
    return exportConversions(sections, exchange);
}

} // namespace enlazio
