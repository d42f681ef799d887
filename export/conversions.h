// SPDX-License-Identifier: MIT
// Purpose: the six conversions from the service document's sections to the exchange tables.
#pragma once

#include "formats/service_document.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace enlazio {

// Each rebuilds its table in the exchange folder from its section and returns the number
// of records written. A failure throws Error; records posted before it stay in the table,
// and the table is closed so that the next run can rebuild it.
std::size_t exportarMaterias(const SectionEntries& materias, const std::filesystem::path& exchange);
std::size_t exportarProfesores(const SectionEntries& profesores, const std::filesystem::path& exchange);
std::size_t exportarAulas(const SectionEntries& aulas, const std::filesystem::path& exchange);
std::size_t exportarGrupos(const SectionEntries& grupos, const std::filesystem::path& exchange);
std::size_t exportarAsignaturas(const SectionEntries& asignaturas, const std::filesystem::path& exchange);
std::size_t exportarTramos(const SectionEntries& tramos, const std::filesystem::path& exchange);

struct TableCount {
    std::string table; // "ASIGNOMT"
    std::size_t records = 0;
};

// The six conversions in their order. The first failure stops the run (Error propagates);
// tables rebuilt before it stay rebuilt.
std::vector<TableCount> exportConversions(const ServiceSections& sections, const std::filesystem::path& exchange);

// The export run without a window: Error(FileNotFound, "No existe archivo") when no file
// exists at `file` (nothing touched); then one streaming read, then the six conversions.
std::vector<TableCount> runExport(const std::filesystem::path& file, const std::filesystem::path& exchange);

} // namespace enlazio
