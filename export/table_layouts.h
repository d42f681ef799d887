// SPDX-License-Identifier: MIT
// Purpose: names and field layouts of the six exchange tables the export writes and the import reads.
#pragma once

#include "formats/dbf_table.h"

#include <array>
#include <string_view>

namespace enlazio {

inline constexpr std::string_view kTableAsignomt = "ASIGNOMT";
inline constexpr std::string_view kTableProft = "PROFT";
inline constexpr std::string_view kTableAulat = "AULAT";
inline constexpr std::string_view kTableGrupost = "GRUPOST";
inline constexpr std::string_view kTableAsigt = "ASIGT";
inline constexpr std::string_view kTableDiashorast = "DIASHORAST";

// In the order the export run rebuilds them.
inline constexpr std::array<std::string_view, 6> kExportTables
    = { kTableAsignomt, kTableProft, kTableAulat, kTableGrupost, kTableAsigt, kTableDiashorast };

// Field order is the order in the table file; Aularis reads these files, so neither the
// order nor a width may change.
inline const TableLayout kAsignomtLayout = {
    { "COD", FieldType::Text, 4 },
    { "CODLARGO", FieldType::Text, 8 },
    { "NOMBRE", FieldType::Text, 40 },
    { "MATERIA", FieldType::Text, 8 },
};

inline const TableLayout kProftLayout = {
    { "ABREV", FieldType::Text, 4 },
    { "NOMBRE", FieldType::Text, 40 },
    { "DEPART", FieldType::Text, 40 },
    { "DNI", FieldType::Integer, 0 },
    { "X_EMPLEADO", FieldType::Text, 10 },
    { "F_TOMAPOS", FieldType::Text, 10 },
};

inline const TableLayout kAulatLayout = {
    { "ABREV", FieldType::Text, 4 },
    { "NOMBRE", FieldType::Text, 40 },
    { "EDIFICIO", FieldType::Text, 1 },
    { "MAXALUM", FieldType::Integer, 0 },
    { "DEPCENTRO", FieldType::Text, 10 },
};

inline const TableLayout kGrupostLayout = {
    { "ABREV", FieldType::Text, 4 },
    { "TURNO", FieldType::Text, 1 },
    { "NIVEL", FieldType::Text, 5 },
    { "CURSO", FieldType::Text, 3 },
    { "GRUPO", FieldType::Text, 2 },
    { "UNIDAD", FieldType::Text, 10 },
};

inline const TableLayout kAsigtLayout = {
    { "CASIG", FieldType::Text, 4 },
    { "CPROF", FieldType::Text, 4 },
    { "CGRUP", FieldType::Text, 4 },
    { "CAULA", FieldType::Text, 4 },
    { "TURNO", FieldType::Text, 1 },
    { "NIVEL", FieldType::Text, 5 },
    { "CURSO", FieldType::Text, 3 },
    { "GRUPO", FieldType::Text, 2 },
    { "HORAS", FieldType::Float, 0 },
    { "SESIONES", FieldType::Text, 20 },
    { "MATERIA", FieldType::Text, 10 },
};

inline const TableLayout kDiashorastLayout = {
    { "DIHO", FieldType::Text, 10 },
    { "CODDIHO", FieldType::Text, 10 },
    { "DIA", FieldType::Text, 20 },
    { "TEXTODIA", FieldType::Text, 20 },
    { "HORA", FieldType::Text, 8 },
    { "HORADESDE", FieldType::Text, 8 },
    { "HORAHASTA", FieldType::Text, 8 },
    { "MINUTOS", FieldType::Text, 8 },
};

} // namespace enlazio
