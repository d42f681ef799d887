// SPDX-License-Identifier: MIT
// Purpose: the export run over real documents: existence test, encodings, rebuilt files, failure half-way.
#include "export/conversions.h"
#include "export/table_layouts.h"

#include "export_test_support.h"
#include "formats/error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

using namespace enlazio;
using namespace enlazio::testing;

namespace {

const fs::path kData = fs::path(ENLAZIO_TEST_DATA_DIR) / "export";

class ExportRun : public ExchangeFolderTest { };

// Every file of a folder with its bytes.
std::map<std::string, std::string> snapshot(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().filename().string()]
            = std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
}

std::vector<std::string> fileNames(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> sortedTableFiles()
{
    std::vector<std::string> names;
    for (auto table : kExportTables)
        names.push_back(std::string(table) + ".DBF");
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> fieldNames(const TableLayout& layout)
{
    std::vector<std::string> names;
    for (const FieldDef& field : layout)
        names.push_back(field.name);
    return names;
}

const std::map<std::string, const TableLayout*> kLayouts = {
    { "ASIGNOMT", &kAsignomtLayout }, { "PROFT", &kProftLayout },  { "AULAT", &kAulatLayout },
    { "GRUPOST", &kGrupostLayout },   { "ASIGT", &kAsigtLayout }, { "DIASHORAST", &kDiashorastLayout },
};

std::vector<std::vector<std::string>> allRows(const fs::path& folder, const std::string& table)
{
    return readRows(folder, table, fieldNames(*kLayouts.at(table)));
}

std::vector<std::size_t> recordCounts(const std::vector<TableCount>& counts)
{
    std::vector<std::size_t> records;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        EXPECT_EQ(counts[i].table, kExportTables[i]);
        records.push_back(counts[i].records);
    }
    return records;
}

} // namespace

TEST_F(ExportRun, MissingFileTouchesNothing)
{
    writeFile(m_exchange / "ASIGNOMT.DBF", "tabla anterior");
    writeFile(m_exchange / "ASIGNOMT.MDX", "indice anterior");
    const auto before = snapshot(m_exchange);
    for (const fs::path& missing : { m_exchange / "no_existe.xml", fs::path(m_exchange), fs::path() }) {
        SCOPED_TRACE(missing.string());
        try {
            runExport(missing, m_exchange);
            ADD_FAILURE() << "no error";
        } catch (const Error& error) {
            EXPECT_EQ(error.code(), ErrorCode::FileNotFound);
            EXPECT_STREQ(error.what(), "No existe archivo");
        }
        EXPECT_EQ(snapshot(m_exchange), before);
    }
}

TEST_F(ExportRun, BrokenDocumentTouchesNothing)
{
    const fs::path document = m_exchange.parent_path() / (m_exchange.filename().string() + "-roto.xml");
    writeFile(document, "<SERVICIO><SALIDAS><listasal seq=\"MATERIAS\"></SALIDAS>");
    writeFile(m_exchange / "ASIGNOMT.DBF", "tabla anterior");
    const auto before = snapshot(m_exchange);
    try {
        runExport(document, m_exchange);
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.code(), ErrorCode::XmlParse);
    }
    fs::remove(document);
    EXPECT_EQ(snapshot(m_exchange), before);
}

TEST_F(ExportRun, Utf8AndLatin1DocumentsGiveTheSameTables)
{
    const fs::path latin1 = m_exchange / "latin1";
    fs::create_directory(latin1);
    const fs::path utf8 = m_exchange / "utf8";
    fs::create_directory(utf8);
    const auto utf8Counts = runExport(kData / "acentos_utf8.xml", utf8);
    EXPECT_EQ(recordCounts(utf8Counts), (std::vector<std::size_t> { 2, 1, 1, 1, 1, 1 }));
    EXPECT_EQ(recordCounts(runExport(kData / "acentos_latin1.xml", latin1)), recordCounts(utf8Counts));
    for (auto table : kExportTables) {
        SCOPED_TRACE(table);
        EXPECT_EQ(allRows(latin1, std::string(table)), allRows(utf8, std::string(table)));
    }
    // The accented letters arrive as themselves, and ñúé is the same subject as ÑÚÉ.
    EXPECT_EQ(readRows(utf8, "ASIGNOMT", { "COD", "NOMBRE" }),
              (std::vector<std::vector<std::string>> { { "EF", "Educación Física" },
                                                       { "ÑÚÉ", "Español: ¿Qué? ¡Sí! «Año»" } }));
    EXPECT_EQ(readRows(utf8, "DIASHORAST", { "DIHO", "DIA", "HORA" }),
              (std::vector<std::vector<std::string>> { { "Mñá1", "2", "ñá" } }));
}

TEST_F(ExportRun, EveryTableExistsWhenItsSectionIsMissing)
{
    runExport(kData / "mitad_correcto.xml", m_exchange);
    const fs::path document = m_exchange.parent_path() / (m_exchange.filename().string() + "-vacio.xml");
    writeFile(document, "<?xml version=\"1.0\"?>\n<SERVICIO><SALIDAS/></SERVICIO>\n");
    const auto counts = runExport(document, m_exchange);
    fs::remove(document);
    EXPECT_EQ(recordCounts(counts), std::vector<std::size_t>(6, 0));
    EXPECT_EQ(fileNames(m_exchange), sortedTableFiles());
    for (auto table : kExportTables)
        EXPECT_TRUE(allRows(m_exchange, std::string(table)).empty()) << table;
}

TEST_F(ExportRun, OldIndexAndStaleLowerCaseCopyAreRemoved)
{
    writeFile(m_exchange / "ASIGNOMT.MDX", "indice anterior");
    writeFile(m_exchange / "asignomt.dbf", "copia anterior");
    writeFile(m_exchange / "ASIGT.MDX", "indice anterior");
    EXPECT_EQ(recordCounts(runExport(kData / "mitad_correcto.xml", m_exchange)),
              (std::vector<std::size_t> { 2, 1, 1, 1, 4, 1 }));
    EXPECT_EQ(fileNames(m_exchange), sortedTableFiles());
}

TEST_F(ExportRun, FailureHalfWayKeepsWhatWasRebuilt)
{
    createTable(m_exchange, "DIASHORAST", kDiashorastLayout);
    {
        TableWriter old(m_exchange, "DIASHORAST");
        old.open();
        old.append();
        old.setText("DIHO", "VIEJO");
        old.post();
    }
    writeFile(m_exchange / "ASIGT.DBF", "tabla anterior");
    try {
        runExport(kData / "mitad.xml", m_exchange);
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.code(), ErrorCode::InvalidInteger);
        EXPECT_STREQ(error.what(), "'45.5' no es un valor entero válido");
    }
    EXPECT_EQ(readRows(m_exchange, "ASIGNOMT", { "COD" }),
              (std::vector<std::vector<std::string>> { { "MAT1" }, { "LENG" } }));
    EXPECT_EQ(readRows(m_exchange, "PROFT", { "ABREV" }), (std::vector<std::vector<std::string>> { { "NUÑE" } }));
    EXPECT_EQ(readRows(m_exchange, "AULAT", { "ABREV" }), (std::vector<std::vector<std::string>> { { "A1" } }));
    EXPECT_EQ(readRows(m_exchange, "GRUPOST", { "ABREV" }), (std::vector<std::vector<std::string>> { { "1ESA" } }));
    EXPECT_EQ(readRows(m_exchange, "ASIGT", { "CASIG", "SESIONES" }),
              (std::vector<std::vector<std::string>> { { "MAT1", "1111" }, { "LENG", "111" } }));
    EXPECT_EQ(readRows(m_exchange, "DIASHORAST", { "DIHO" }), (std::vector<std::vector<std::string>> { { "VIEJO" } }));

    // Nothing is left open: the next run rebuilds every table.
    EXPECT_EQ(recordCounts(runExport(kData / "mitad_correcto.xml", m_exchange)),
              (std::vector<std::size_t> { 2, 1, 1, 1, 4, 1 }));
    EXPECT_EQ(readRows(m_exchange, "DIASHORAST", { "DIHO" }), (std::vector<std::vector<std::string>> { { "L1" } }));
}
