// SPDX-License-Identifier: MIT
// Purpose: subjects, teachers, rooms and groups to their tables: positions, cuts and each table's own rule.
#include "export/conversions.h"

#include "export_test_support.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using namespace enlazio;
using namespace enlazio::testing;

namespace {

using Conversion = std::size_t (*)(const SectionEntries&, const std::filesystem::path&);
using Rows = std::vector<std::vector<std::string>>;

struct CatalogueCase {
    std::string name;
    Conversion convert;
    std::string table;
    std::vector<std::string> fields;
    SectionEntries input;
    Rows expected;
};

void PrintTo(const CatalogueCase& c, std::ostream* os) { *os << c.name; }

std::vector<CatalogueCase> catalogueCases()
{
    const std::string longName = "Lengua Castellana y Literatura de primero de ESO"; // 48 characters
    return {
        { "MateriasFirstOfEveryCodeWinsWhateverItsCase",
          exportarMaterias, "ASIGNOMT", { "MATERIA", "COD", "CODLARGO", "NOMBRE" },
          positional({
              { "1001", "MAT1", "MAT1ESO12", "Matemáticas" },
              { "1002", "mat1", "MAT1B", "Matemáticas B" },
              { "1003", "MAT1", "MAT1C", "Matemáticas C" },
              { "1004", "ÁLG", "ÁLGEBRA", "Álgebra" },
              { "1005", "álg", "ALG2", "Álgebra 2" },
              { "1006", "LENG1", "LENGUA1", longName },
              { "1007", "LENG2", "LENGUA2", "Lengua 2" },
              // Fewer than two values: no record, and its missing code is no code seen.
              { "1010" },
              {},
              { "1008", "", "SINCOD", "Sin código" },
              { "1009", "", "OTRO", "Otra sin código" },
              { "1012", "EF" },
          }),
          {
              { "1001", "MAT1", "MAT1ESO1", "Matemáticas" },
              { "1004", "ÁLG", "ÁLGEBRA", "Álgebra" },
              // Compared whole, so both stay, although both are stored as LENG.
              { "1006", "LENG", "LENGUA1", longName.substr(0, 40) },
              { "1007", "LENG", "LENGUA2", "Lengua 2" },
              { "1008", "", "SINCOD", "Sin código" },
              { "1012", "EF", "", "" },
          } },
        { "ProfesoresLeaveDepartmentAndIdEmpty",
          exportarProfesores, "PROFT", { "X_EMPLEADO", "F_TOMAPOS", "NOMBRE", "ABREV", "DEPART", "DNI" },
          positional({
              { "2001", "01/09/2020", "Núñez Ibáñez, María José", "NUÑEZ", "12345678Z" },
              { "2002", "01/09/2021" },
              { "2003" },
          }),
          {
              { "2001", "01/09/2020", "Núñez Ibáñez, María José", "NUÑE", "", "" },
              { "2002", "01/09/2021", "", "", "", "" },
          } },
        { "AulasWithoutCodeAreKnownByTheirIdentifier",
          exportarAulas, "AULAT", { "DEPCENTRO", "ABREV", "NOMBRE", "EDIFICIO", "MAXALUM" },
          positional({
              { "R2B0019", "", "Aula 2ºB", "A" },
              { "R1A0001", "A1", "Aula de Informática", "BC" },
              { "R3C0003", "" },
              { "R4D0004" },
          }),
          {
              { "R2B0019", "R2B0", "Aula 2ºB", "A", "" },
              { "R1A0001", "A1", "Aula de Informática", "B", "" },
              { "R3C0003", "R3C0", "", "", "" },
          } },
        { "GruposWithoutLevelGetNiv",
          exportarGrupos, "GRUPOST", { "UNIDAD", "ABREV", "TURNO", "NIVEL", "CURSO", "GRUPO" },
          positional({
              { "U001", "1ESA", "M", "ESO", "1º", "A" },
              { "U002", "2BTB", "T", "", "2º", "B" },
              { "U003", "1FPA", "M", "CFGMED", "1º", "A", "ignored" },
              { "U004", "4ESC" },
              { "U005" },
          }),
          {
              { "U001", "1ESA", "M", "ESO", "1º", "A" },
              { "U002", "2BTB", "T", "NIV", "2º", "B" },
              { "U003", "1FPA", "M", "CFGME", "1º", "A" },
              { "U004", "4ESC", "", "NIV", "", "" },
          } },
    };
}

class CatalogueConversion : public ExchangeFolderTest, public ::testing::WithParamInterface<CatalogueCase> { };

} // namespace

TEST_P(CatalogueConversion, WritesOneRecordPerKeptEntry)
{
    const CatalogueCase& c = GetParam();
    EXPECT_EQ(c.convert(c.input, m_exchange), c.expected.size());
    EXPECT_EQ(readRows(m_exchange, c.table, c.fields), c.expected);
}

TEST_P(CatalogueConversion, RebuildsTheTableFromNothing)
{
    const CatalogueCase& c = GetParam();
    c.convert(c.input, m_exchange);
    EXPECT_EQ(c.convert(SectionEntries(), m_exchange), 0u);
    EXPECT_TRUE(readRows(m_exchange, c.table, c.fields).empty());
}

INSTANTIATE_TEST_SUITE_P(Export, CatalogueConversion, ::testing::ValuesIn(catalogueCases()),
                         [](const auto& info) { return info.param.name; });
