// SPDX-License-Identifier: MIT
// Purpose: the import run: the rebuilt output part, the lookups, the result file and its failures.
#include "import/result_document.h"

#include "formats/error.h"
#include "import_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

using namespace enlazio;
using namespace import_test;

namespace {

constexpr std::string_view kDocument = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                       "<SERVICIO><SALIDAS><listasal seq=\"PROFESORES\"><listasal>"
                                       "<salida dato=\"X\">old</salida></listasal></listasal></SALIDAS></SERVICIO>\n";

// Lookup tables shared by the cases. Duplicate keys come after the row that must win.
void writeLookupTables(const fs::path& exchange)
{
    writeTable(exchange, "ASIGNOMT", kAsignomtLayout, {"COD", "MATERIA"},
               {{"MAT", "G101"}, {"LEN", "G102"}, {"ING", "g103"}, {"FIS", "X104"}, {"MUS", ""}, {"MAT", "G999"},
                {"HIS", "G105"}});
    writeTable(exchange, "DIASHORAST", kDiashorastLayout, {"DIHO", "CODDIHO", "DIA"},
               {{"L1", "T11", "1"}, {"L2", "T12", "1"}, {"L10", "T110", "1"}, {"M2", "T22", "2"}, {"X3", "T33", "3"},
                {"J4", "T44", "4"}, {"V5", "T55", "5"}, {"S3", "T63", "6"}, {"D4", "T74", "7"}, {"L1", "T99", "1"},
                {"4", "T4", "9"}});
    writeTable(exchange, "AULAT", kAulatLayout, {"ABREV", "DEPCENTRO"},
               {{"A1", "R001"}, {"A2", "R002"}, {"A1", "R999"}});
    writeTable(exchange, "GRUPOST", kGrupostLayout, {"ABREV", "UNIDAD"},
               {{"1A", "U1A"}, {"2B", "U2B"}, {"1A", "U999"}});
    writeTable(exchange, "ASIGT", kAsigtLayout, {"CASIG", "CGRUP", "MATERIA"},
               {{"MAT", "2B", "M2B"}, {"MAT", "1A", "M1A"}, {"LEN", "1A", "L1A"}, {"MAT", "1A", "M999"}});
}

void writeTeachers(const fs::path& exchange, const Rows& rows)
{
    writeTable(exchange, "PROFT", kProftLayout, {"ABREV", "X_EMPLEADO", "F_TOMAPOS"}, rows);
}

void writeSoluc(const fs::path& exchange, SolucKind kind, const Rows& rows)
{
    writeTable(exchange, "SOLUC", solucLayout(kind), kSolucColumns, rows);
}

class ImportRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_exchange);
        fs::create_directories(m_docs);
        writeFile(m_chosen, kDocument);
        writeLookupTables(m_exchange);
    }

    std::vector<std::string> filesIn(const fs::path& folder) const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    void expectAllClosed(ImportTables& tables)
    {
        for (TableComponent* table : {&tables.soluc, &tables.grupos, &tables.profesor, &tables.aulas, &tables.nomAsg,
                                      &tables.tramos, &tables.asig}) {
            EXPECT_FALSE(table->isOpen()) << table->name();
            // A second component takes every table exclusively, so the run let go of it.
            if (fs::exists(m_exchange / (table->tableName() + ".DBF"))) {
                TableComponent other("wwOther", table->tableName());
                EXPECT_NO_THROW(other.open(m_exchange)) << table->tableName();
                other.close();
            }
        }
    }

    TempFolder m_temp;
    fs::path m_exchange = m_temp.path() / "atemp";
    fs::path m_docs = m_temp.path() / "delphos";
    fs::path m_chosen = m_docs / "horario.xml";
    fs::path m_result = m_docs / "ResultadoAulixhorario.xml";
};

struct OutputCase {
    const char* name;
    Rows teachers; // ABREV, X_EMPLEADO, F_TOMAPOS
    Rows soluc;    // PROF, DIA, HORA, ASIG, AULA, CODGRUPO
    std::string expected;
    std::size_t activities;
};

std::vector<OutputCase> outputCases()
{
    const Activity matL1 = {"G101", "1", "T11", "R001", "U1A", "M1A"};
    const Activity lenL2 = {"G102", "1", "T12", "R002", "U2B", ""};
    return {
        {"teachers without activities keep their number; unknown PROF goes nowhere",
         {{"P1", "E1", "F1"}, {"P2", "E2", "F2"}, {"P3", "E3", "F3"}},
         {{"ZZ", "1", "1", "MAT", "A1", "1A"}, {"P2", "1", "1", "MAT", "A1", "1A"}, {"P3", "0", "1", "MAT", "A1", "1A"},
          {"P3", "0", "2", "LEN", "A2", "2B"}},
         status() + teacher(1, "E1", "F1") + teacher(2, "E2", "F2") + activity(1, matL1) + teacher(3, "E3", "F3"), 1},
        {"day 0 rows take no activity number",
         {{"P1", "E1", "F1"}},
         {{"P1", "2", "2", "LEN", "A2", "2B"}, {"P1", "0", "3", "MAT", "A1", "1A"}, {"P1", "3", "3", "MAT", "A1", "1A"},
          {"P1", "0", "0", "HIS", "", ""}, {"P1", "4", "4", "HIS", "A1", "2B"}},
         status() + teacher(1, "E1", "F1") + activity(1, {"G102", "2", "T22", "R002", "U2B", ""})
             + activity(2, {"G101", "3", "T33", "R001", "U1A", "M1A"})
             + activity(3, {"G105", "4", "T44", "R001", "U2B", ""}),
         3},
        {"two PROFT rows with one ABREV both get the entries",
         {{"P1", "E1", "F1"}, {"P1", "E2", "F2"}, {"P2", "E3", ""}},
         {{"P1", "1", "1", "MAT", "A1", "1A"}, {"P2", "5", "5", "LEN", "A1", "1A"}, {"P1", "1", "2", "LEN", "A2", "2B"}},
         status() + teacher(1, "E1", "F1") + activity(1, matL1) + activity(2, lenL2) + teacher(2, "E2", "F2")
             + activity(1, matL1) + activity(2, lenL2) + teacher(3, "E3", "")
             + activity(1, {"G102", "5", "T55", "R001", "U1A", "L1A"}),
         5},
        {"activity code: upper-case G only, else G439",
         {{"P1", "E1", "F1"}},
         {{"P1", "1", "1", "MAT", "A1", "1A"}, {"P1", "1", "1", "ING", "A1", "1A"}, {"P1", "1", "1", "FIS", "A1", "1A"},
          {"P1", "1", "1", "MUS", "A1", "1A"}, {"P1", "1", "1", "XXX", "A1", "1A"}},
         status() + teacher(1, "E1", "F1") + activity(1, matL1)
             + activity(2, {"G439", "1", "T11", "R001", "U1A", ""}) + activity(3, {"G439", "1", "T11", "R001", "U1A", ""})
             + activity(4, {"G439", "1", "T11", "R001", "U1A", ""}) + activity(5, {"G439", "1", "T11", "R001", "U1A", ""}),
         5},
        {"slot keys: day letter of DIA, hour in decimal, first DIHO wins",
         {{"P1", "E1", "F1"}},
         {{"P1", "6", "3", "MAT", "A1", "1A"}, {"P1", "7", "4", "MAT", "A1", "1A"}, {"P1", "1", "10", "MAT", "A1", "1A"},
          {"P1", "1", "1", "MAT", "A1", "1A"}, {"P1", "9", "3", "MAT", "A1", "1A"}, {"P1", "9", "4", "MAT", "A1", "1A"}},
         status() + teacher(1, "E1", "F1") + activity(1, {"G101", "6", "T63", "R001", "U1A", "M1A"})
             + activity(2, {"G101", "7", "T74", "R001", "U1A", "M1A"})
             + activity(3, {"G101", "1", "T110", "R001", "U1A", "M1A"}) + activity(4, matL1)
             + activity(5, {"G101", "", "", "R001", "U1A", "M1A"})
             + activity(6, {"G101", "9", "T4", "R001", "U1A", "M1A"}),
         6},
        {"rooms, groups and the group's subject: first match of both keys",
         {{"P1", "E1", "F1"}},
         {{"P1", "1", "1", "MAT", "A1", "2B"}, {"P1", "1", "2", "MAT", "A9", "3C"}, {"P1", "1", "2", "LEN", "A2", "2B"}},
         status() + teacher(1, "E1", "F1") + activity(1, {"G101", "1", "T11", "R001", "U2B", "M2B"})
             + activity(2, {"G101", "1", "T12", "", "", ""}) + activity(3, lenL2),
         3},
        {"teacher code with a quote: exact, case and blanks significant",
         {{"O'B", "E1", "F1"}, {"o'b", "E2", "F2"}},
         {{"O'B", "1", "1", "MAT", "A1", "1A"}, {"o'b", "1", "2", "LEN", "A2", "2B"}, {"O'BR", "1", "1", "MAT", "A1", "1A"},
          {" O'B", "1", "1", "MAT", "A1", "1A"}, {"O'B", "2", "2", "MAT", "A1", "1A"}},
         status() + teacher(1, "E1", "F1") + activity(1, matL1) + activity(2, {"G101", "2", "T22", "R001", "U1A", "M1A"})
             + teacher(2, "E2", "F2") + activity(1, lenL2),
         3},
        {"no teachers: the status alone", {}, {{"P1", "1", "1", "MAT", "A1", "1A"}}, status(), 0},
    };
}

TEST_F(ImportRun, OutputPartHoldsStatusTeachersAndActivities)
{
    for (SolucKind kind : {SolucKind::Numeric, SolucKind::Text}) {
        for (const OutputCase& c : outputCases()) {
            SCOPED_TRACE(std::string(c.name) + (kind == SolucKind::Numeric ? " (numeric DIA/HORA)" : " (text DIA/HORA)"));
            writeTeachers(m_exchange, c.teachers);
            writeSoluc(m_exchange, kind, c.soluc);
            const ImportSummary summary = runImport(m_chosen, m_exchange);
            EXPECT_EQ(summary.resultPath, m_result);
            EXPECT_EQ(summary.teachers, c.teachers.size());
            EXPECT_EQ(summary.activities, c.activities);
            EXPECT_EQ(outputOutline(m_result), c.expected);
        }
    }
}

TEST_F(ImportRun, AsigtIsNotOpenedWithoutActivities)
{
    writeTeachers(m_exchange, {{"P1", "E1", "F1"}});
    writeSoluc(m_exchange, SolucKind::Numeric, {{"P1", "0", "1", "MAT", "A1", "1A"}});
    fs::remove(m_exchange / "ASIGT.DBF");
    EXPECT_NO_THROW(runImport(m_chosen, m_exchange));
    EXPECT_EQ(outputOutline(m_result), status() + teacher(1, "E1", "F1"));

    writeSoluc(m_exchange, SolucKind::Numeric, {{"P1", "1", "1", "MAT", "A1", "1A"}});
    EXPECT_THROW(runImport(m_chosen, m_exchange), Error);
}

TEST_F(ImportRun, TextDayOrHourThatIsNoNumberStopsTheRun)
{
    writeTeachers(m_exchange, {{"P1", "E1", "F1"}});
    for (const Rows& soluc : {Rows{{"P1", "x", "1", "MAT", "A1", "1A"}}, Rows{{"P1", "1", "x", "MAT", "A1", "1A"}}}) {
        writeSoluc(m_exchange, SolucKind::Text, soluc);
        try {
            runImport(m_chosen, m_exchange);
            ADD_FAILURE() << "no error";
        } catch (const Error& error) {
            EXPECT_EQ(error.code(), ErrorCode::InvalidInteger);
            EXPECT_STREQ(error.what(), "'x' no es un valor entero válido");
        }
        EXPECT_FALSE(fs::exists(m_result));
    }
}

TEST_F(ImportRun, SolucLackingAFieldStopsTheRunNamingComponentAndField)
{
    writeTeachers(m_exchange, {{"P1", "E1", "F1"}});
    for (const std::string& missing : kSolucColumns) {
        SCOPED_TRACE(missing);
        const TableLayout layout = solucLayout(SolucKind::Numeric, missing);
        std::vector<std::string> columns;
        Rows rows = {{}};
        for (const FieldDef& field : layout) {
            columns.push_back(field.name);
            const std::string text = field.name == "PROF" ? "P1" : field.name == "DIA" || field.name == "HORA" ? "1" : "A";
            rows[0].push_back(text);
        }
        writeTable(m_exchange, "SOLUC", layout, columns, rows);
        ImportTables tables;
        ServiceDocument doc = ServiceDocument::load(m_chosen);
        try {
            buildResultDocument(doc, m_chosen, tables, m_exchange);
            ADD_FAILURE() << "no error";
        } catch (const Error& error) {
            EXPECT_EQ(error.code(), ErrorCode::FieldNotFound);
            EXPECT_EQ(std::string(error.what()), "wwTableSoluc: No se encuentra el campo '" + missing + "'");
        }
        EXPECT_FALSE(fs::exists(m_result));
        expectAllClosed(tables);
    }
}

TEST_F(ImportRun, EverythingOutsideTheOutputPartSurvivesAndTheNewOneComesLast)
{
    writeFile(m_chosen, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                        "<SERVICIO version=\"2\" origen=\"Delphos\"><CABECERA id=\"7\">cabecera</CABECERA>"
                        "<SALIDAS modo=\"x\"><listasal seq=\"AULAS\"><listasal><salida dato=\"A\">1</salida></listasal>"
                        "</listasal></SALIDAS><PIE>fin</PIE></SERVICIO>\n");
    writeTeachers(m_exchange, {{"P1", "E1", "F1"}});
    writeSoluc(m_exchange, SolucKind::Numeric, {});
    runImport(m_chosen, m_exchange);
    const std::string body = status() + teacher(1, "E1", "F1");
    std::string indented;
    for (std::size_t start = 0; start < body.size();) {
        const std::size_t end = body.find('\n', start);
        indented += "    " + body.substr(start, end - start + 1);
        start = end + 1;
    }
    EXPECT_EQ(outline(m_result), "SERVICIO version=2 origen=Delphos\n"
                                 "  CABECERA id=7: cabecera\n"
                                 "  PIE: fin\n"
                                 "  SALIDAS\n"
                                     + indented);
}

TEST_F(ImportRun, WithTwoOutputPartsTheSecondOldOneReceivesEverything)
{
    writeFile(m_chosen, "<SERVICIO><SALIDAS><viejo>1</viejo></SALIDAS><OTRO/><SALIDAS><viejo>2</viejo></SALIDAS>"
                        "</SERVICIO>");
    writeTeachers(m_exchange, {{"P1", "E1", "F1"}});
    writeSoluc(m_exchange, SolucKind::Numeric, {});
    runImport(m_chosen, m_exchange);
    EXPECT_EQ(outline(m_result), "SERVICIO\n"
                                 "  OTRO\n"
                                 "  SALIDAS\n"
                                 "    viejo: 2\n"
                                 "    ERROR\n"
                                 "      salida dato=CN_ERROR: 0\n"
                                 "      salida dato=TE_ERROR: Servicio finalizado Correctamente\n"
                                 "    listasal seq=EMPLEADO_1\n"
                                 "      salida dato=X_EMPLEADO: E1\n"
                                 "      salida dato=F_TOMAPOS: F1\n"
                                 "  SALIDAS\n");
}

TEST_F(ImportRun, DocumentThatCannotTakeTheOutputPartWritesNothing)
{
    writeTeachers(m_exchange, {{"P1", "E1", "F1"}});
    writeSoluc(m_exchange, SolucKind::Numeric, {{"P1", "1", "1", "MAT", "A1", "1A"}});
    struct Case {
        const char* content;
        std::set<ErrorCode> codes;
    };
    const Case cases[] = {
        {"<SERVICIO><salidas/><OTRO><SALIDAS/></OTRO></SERVICIO>", {ErrorCode::XmlStructure}},
        {"<!-- sin elemento raiz -->", {ErrorCode::XmlParse, ErrorCode::XmlStructure}},
        {"<SERVICIO><SALIDAS></SERVICIO>", {ErrorCode::XmlParse, ErrorCode::XmlStructure}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content);
        writeFile(m_chosen, c.content);
        try {
            runImport(m_chosen, m_exchange);
            ADD_FAILURE() << "no error";
        } catch (const Error& error) {
            EXPECT_TRUE(c.codes.count(error.code())) << error.what();
            EXPECT_FALSE(std::string(error.what()).empty());
        }
        EXPECT_EQ(filesIn(m_docs), std::vector<std::string>{"horario.xml"});
        EXPECT_EQ(readFile(m_chosen), c.content);
    }
}

TEST_F(ImportRun, ResultPathIsResultadoAulixBeforeTheChosenName)
{
    EXPECT_EQ(resultPathFor("/a/b/horario.xml"), fs::path("/a/b/ResultadoAulixhorario.xml"));
    EXPECT_EQ(resultPathFor("horario.xml"), fs::path("ResultadoAulixhorario.xml"));
    EXPECT_EQ(resultPathFor("/a/Centro 2024.XML"), fs::path("/a/ResultadoAulixCentro 2024.XML"));
}

TEST_F(ImportRun, SecondRunReplacesTheResultAndTheChosenFileIsNeverWritten)
{
    writeTeachers(m_exchange, {{"P1", "E1", "F1"}});
    writeSoluc(m_exchange, SolucKind::Numeric, {{"P1", "1", "1", "MAT", "A1", "1A"}});
    runImport(m_chosen, m_exchange);
    EXPECT_EQ(outputOutline(m_result),
              status() + teacher(1, "E1", "F1") + activity(1, {"G101", "1", "T11", "R001", "U1A", "M1A"}));

    writeTeachers(m_exchange, {{"P2", "E2", "F2"}});
    runImport(m_chosen, m_exchange);
    EXPECT_EQ(outputOutline(m_result), status() + teacher(1, "E2", "F2"));
    EXPECT_EQ(readFile(m_chosen), kDocument);
    EXPECT_EQ(filesIn(m_docs), (std::vector<std::string>{"ResultadoAulixhorario.xml", "horario.xml"}));
}

TEST_F(ImportRun, FailingRunKeepsTheOlderResultAndClosesEveryTable)
{
    writeTeachers(m_exchange, {{"P1", "E1", "F1"}});
    writeSoluc(m_exchange, SolucKind::Numeric, {{"P1", "1", "1", "MAT", "A1", "1A"}});
    {
        ImportTables tables;
        ServiceDocument doc = ServiceDocument::load(m_chosen);
        buildResultDocument(doc, m_chosen, tables, m_exchange);
        expectAllClosed(tables);
    }
    const std::string older = readFile(m_result);

    // Missing at the start (SOLUC), and missing only at the first activity (ASIGT),
    // when the other six are open already.
    for (const char* missing : {"SOLUC.DBF", "ASIGT.DBF"}) {
        SCOPED_TRACE(missing);
        writeLookupTables(m_exchange);
        writeSoluc(m_exchange, SolucKind::Numeric, {{"P1", "1", "1", "MAT", "A1", "1A"}});
        fs::remove(m_exchange / missing);
        ImportTables tables;
        ServiceDocument doc = ServiceDocument::load(m_chosen);
        EXPECT_THROW(buildResultDocument(doc, m_chosen, tables, m_exchange), Error);
        expectAllClosed(tables);
        EXPECT_EQ(readFile(m_result), older);
        EXPECT_EQ(filesIn(m_docs), (std::vector<std::string>{"ResultadoAulixhorario.xml", "horario.xml"}));
    }
}

TEST_F(ImportRun, MissingChosenFileIsNoExisteArchivo)
{
    try {
        runImport(m_docs / "otro.xml", m_exchange);
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.code(), ErrorCode::FileNotFound);
        EXPECT_STREQ(error.what(), "No existe archivo");
    }
    EXPECT_THROW(runImport(m_docs, m_exchange), Error); // a folder is no file
    EXPECT_EQ(filesIn(m_docs), std::vector<std::string>{"horario.xml"});
}

TEST_F(ImportRun, IsoLatin1DocumentKeepsItsEncodingAndTheTablesCharacters)
{
    // "Año" in ISO-8859-1 in the document; "Peña", "Núñez" and a euro sign in the tables.
    writeFile(m_chosen, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                        "<SERVICIO><CABECERA>A\xF1o</CABECERA><SALIDAS/></SERVICIO>\n");
    writeTeachers(m_exchange, {{"P\xD1", "Pe\xF1" "a", "N\xFA\xF1" "ez"}});
    writeTable(m_exchange, "GRUPOST", kGrupostLayout, {"ABREV", "UNIDAD"}, {{"1\xBA", "Ud \x80"}});
    writeSoluc(m_exchange, SolucKind::Numeric, {{"P\xD1", "1", "1", "MAT", "A1", "1\xBA"}});
    runImport(m_chosen, m_exchange);

    const std::string bytes = readFile(m_result);
    const std::string declaration = bytes.substr(0, bytes.find("?>"));
    std::string lower = declaration;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    EXPECT_NE(lower.find("encoding=\"iso-8859-1\""), std::string::npos) << declaration;
    EXPECT_NE(bytes.find("A\xF1o"), std::string::npos);
    EXPECT_NE(bytes.find("Pe\xF1" "a"), std::string::npos);
    EXPECT_EQ(outline(m_result), "SERVICIO\n"
                                 "  CABECERA: Año\n"
                                 "  SALIDAS\n"
                                 "    ERROR\n"
                                 "      salida dato=CN_ERROR: 0\n"
                                 "      salida dato=TE_ERROR: Servicio finalizado Correctamente\n"
                                 "    listasal seq=EMPLEADO_1\n"
                                 "      salida dato=X_EMPLEADO: Peña\n"
                                 "      salida dato=F_TOMAPOS: Núñez\n"
                                 "      listasal seq=ACTIVIDAD_1\n"
                                 "        salida dato=X_ACTIVIDAD: G101\n"
                                 "        salida dato=N_DIASEMANA: 1\n"
                                 "        salida dato=X_TRAMO: T11\n"
                                 "        salida dato=X_DEPCENTRO: R001\n"
                                 "        salida dato=X_UNIDAD: Ud €\n"
                                 "        salida dato=X_MATERIAOMC\n");
}

} // namespace
