// SPDX-License-Identifier: MIT
// Purpose: the table layer on real files: creation procedure, writer, components, filter, locks, lookups.
#include "formats/dbf_table.h"

#include "formats/dbf_format.h"
#include "formats/error.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace enlazio;

namespace {

const TableLayout kAsigt = {
    {"CASIG", FieldType::Text, 4},  {"CPROF", FieldType::Text, 4},     {"CGRUP", FieldType::Text, 4},
    {"CAULA", FieldType::Text, 4},  {"TURNO", FieldType::Text, 1},     {"NIVEL", FieldType::Text, 5},
    {"CURSO", FieldType::Text, 3},  {"GRUPO", FieldType::Text, 2},     {"HORAS", FieldType::Float, 0},
    {"SESIONES", FieldType::Text, 20}, {"MATERIA", FieldType::Text, 10},
};

const TableLayout kSoluc = {
    {"PROF", FieldType::Text, 4},   {"DIA", FieldType::Integer, 0},    {"HORA", FieldType::Integer, 0},
    {"ASIG", FieldType::Text, 4},   {"AULA", FieldType::Text, 4},      {"CODGRUPO", FieldType::Text, 4},
    {"DIATXT", FieldType::Text, 5}, {"NOTA", FieldType::Float, 0},
};

class DbfTable : public ::testing::Test {
protected:
    void touch(const std::string& name, const std::string& content = "viejo")
    {
        std::ofstream(m_dir / name) << content;
    }

    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // SOLUC rows: PROF, DIA, HORA, ASIG, AULA, CODGRUPO, DIATXT; empty texts stay unset.
    void writeSoluc(const std::vector<std::vector<std::string>>& rows)
    {
        createTable(m_dir, "SOLUC", kSoluc);
        TableWriter w(m_dir, "SOLUC");
        w.open();
        for (const auto& row : rows) {
            w.append();
            for (std::size_t i = 0; i < row.size(); ++i)
                if (!row[i].empty())
                    w.setText(kSoluc[i].name, row[i]);
            w.post();
        }
    }

    testutil::TempFolder m_folder;
    fs::path m_dir = m_folder.path();
};

template <typename F>
Error errorOf(F&& f)
{
    try {
        f();
    } catch (const Error& e) {
        return e;
    }
    ADD_FAILURE() << "no error";
    return Error(ErrorCode::Internal, "");
}

} // namespace

TEST_F(DbfTable, CreationDeletesEverySpellingOfTheTableAndItsIndex)
{
    touch("asignomt.dbf");
    touch("Asignomt.Mdx");
    touch("ASIGNOMT.MDX");
    touch("OTRA.DBF");
    createTable(m_dir, "ASIGNOMT", {{"COD", FieldType::Text, 4}});
    EXPECT_EQ(entries(), (std::vector<std::string> {"ASIGNOMT.DBF", "OTRA.DBF"}));
    EXPECT_EQ(fs::file_size(m_dir / "ASIGNOMT.DBF"), 32u + 32 + 1 + 1);
}

TEST_F(DbfTable, CreationReplacesARecordedTable)
{
    writeSoluc({{"A", "1", "1"}, {"B", "2", "2"}});
    createTable(m_dir, "SOLUC", kSoluc);
    TableComponent c("wwTableSoluc", "SOLUC");
    c.open(m_dir);
    EXPECT_EQ(c.rowCount(), 0u);
    EXPECT_TRUE(c.eof());
}

TEST_F(DbfTable, CreationThatFailsKeepsTheOldTable)
{
    writeSoluc({{"A", "1", "1"}, {"B", "2", "2"}});
    EXPECT_THROW(createTable(m_dir, "SOLUC", {{"NOMBRE_DEMASIADO_LARGO", FieldType::Text, 4}}), Error);
    EXPECT_EQ(entries(), (std::vector<std::string> {"SOLUC.DBF"}));
    TableComponent c("wwTableSoluc", "SOLUC");
    c.open(m_dir);
    EXPECT_EQ(c.rowCount(), 2u);
}

TEST_F(DbfTable, CreationFailsInAMissingFolder)
{
    Error e = errorOf([&] { createTable(m_dir / "ATEMP", "PROFT", {{"ABREV", FieldType::Text, 4}}); });
    EXPECT_EQ(e.code(), ErrorCode::TableIo);
    EXPECT_NE(std::string(e.what()).find("ATEMP"), std::string::npos) << e.what();
    EXPECT_FALSE(fs::exists(m_dir / "ATEMP"));
}

TEST_F(DbfTable, WriterStoresTheLayoutOurWayByteForByte)
{
    createTable(m_dir, "ASIGT", kAsigt);
    TableWriter w(m_dir, "ASIGT");
    w.open();
    w.append();
    w.setText("CASIG", "MAT");
    w.setFloat("HORAS", 1.5);
    w.post();
    w.close();

    std::ifstream in(m_dir / "ASIGT.DBF", std::ios::binary);
    std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), {});
    const std::size_t headerLength = 32 + 32 * kAsigt.size() + 1;
    const std::size_t recordLength = 1 + 4 + 4 + 4 + 4 + 1 + 5 + 3 + 2 + 20 + 20 + 10;
    ASSERT_EQ(b.size(), headerLength + recordLength + 1);
    EXPECT_EQ(b[0], 0x03);
    EXPECT_EQ(b[4], 1);
    EXPECT_EQ(b[8] | b[9] << 8, static_cast<int>(headerLength));
    EXPECT_EQ(b[10] | b[11] << 8, static_cast<int>(recordLength));
    EXPECT_EQ(b[29], 0x57);
    const std::size_t horas = 32 + 8 * 32;
    EXPECT_EQ(b[horas + 11], 'N');
    EXPECT_EQ(b[horas + 16], 20);
    EXPECT_EQ(b[horas + 17], 4);
    const std::string rec(b.begin() + static_cast<std::ptrdiff_t>(headerLength), b.end() - 1);
    EXPECT_EQ(rec, " MAT " + std::string(4 + 4 + 4 + 1 + 5 + 3 + 2, ' ') + "              1.5000"
                       + std::string(30, ' '));
    EXPECT_EQ(b.back(), 0x1A);
}

TEST_F(DbfTable, TextIsCutToTheFieldWidthAndEmptyStaysEmpty)
{
    const TableLayout layout = {{"COD", FieldType::Text, 4}, {"NOMBRE", FieldType::Text, 40},
                                {"EDIFICIO", FieldType::Text, 1}, {"X", FieldType::Text, 10}};
    createTable(m_dir, "ASIGNOMT", layout);
    {
        TableWriter w(m_dir, "ASIGNOMT");
        w.open();
        w.append();
        w.setText("COD", "MATEM");
        w.setText("NOMBRE", std::string(45, 'n'));
        w.setText("EDIFICIO", "B");
        w.setText("X", "");
        w.post();
        EXPECT_EQ(w.recordCount(), 1u);
    }
    TableComponent c("wwTableNomAsg", "ASIGNOMT");
    c.open(m_dir);
    EXPECT_EQ(c.asString("COD"), "MATE");
    EXPECT_EQ(c.asString("NOMBRE"), std::string(40, 'n'));
    EXPECT_EQ(c.asString("EDIFICIO"), "B");
    EXPECT_EQ(c.asString("X"), "");
}

TEST_F(DbfTable, EveryLogicalTypeRoundTripsAndUnsetFieldsReadEmpty)
{
    writeSoluc({{"L3", "3", "10", "\xD1U", "", "", "  7 "}, {}});
    {
        TableWriter w(m_dir, "SOLUC");
        w.open();
        w.append();
        w.setFloat("NOTA", 1.6666666);
        EXPECT_DOUBLE_EQ(w.getFloat("NOTA"), 1.6667); // as stored, four decimals
        EXPECT_DOUBLE_EQ(w.getFloat("DIA"), 0.0);     // never set
        w.setInteger("DIA", -2147483647 - 1);
        w.setInteger("HORA", 2147483647);
        w.post();
    }
    TableComponent c("wwTableSoluc", "SOLUC");
    c.open(m_dir);
    ASSERT_EQ(c.rowCount(), 3u);
    c.first();
    EXPECT_EQ(c.asString("PROF"), "L3");
    EXPECT_EQ(c.asString("DIA"), "3");
    EXPECT_EQ(c.asInteger("DIA"), 3);
    EXPECT_EQ(c.asInteger("HORA"), 10);
    EXPECT_EQ(c.asString("ASIG"), "\xD1U"); // Windows-1252 in and out
    EXPECT_EQ(c.asString("DIATXT"), "  7");
    EXPECT_EQ(c.asInteger("DIATXT"), 7);
    c.next();
    for (const char* field : {"PROF", "DIA", "HORA", "ASIG", "DIATXT", "NOTA"}) {
        EXPECT_EQ(c.asString(field), "") << field;
        EXPECT_EQ(c.asInteger(field), 0) << field;
        EXPECT_EQ(c.asFloat(field), 0.0) << field;
    }
    c.next();
    EXPECT_EQ(c.asInteger("DIA"), -2147483647 - 1);
    EXPECT_EQ(c.asString("DIA"), "-2147483648");
    EXPECT_EQ(c.asInteger("HORA"), 2147483647);
    EXPECT_DOUBLE_EQ(c.asFloat("NOTA"), 1.6667);
    EXPECT_EQ(c.asString("NOTA"), "1.6667");
    EXPECT_FALSE(c.eof());
    c.next();
    EXPECT_TRUE(c.eof());
    EXPECT_EQ(c.asInteger("HORA"), 2147483647); // past the end the table stays on the last record
}

// What getFloat gives back is the stored text read as a number: rounded to the field's
// decimals, a zero without sign, a text field read through the platform's conversion.
TEST_F(DbfTable, WriterReadsBackTheValueAsStored)
{
    createTable(m_dir, "ASIGT", kAsigt);
    TableWriter w(m_dir, "ASIGT");
    w.open();
    w.append();
    const struct {
        double set, expected;
    } cases[] = {{-0.0, 0.0}, {-0.00001, 0.0}, {0.5, 0.5}, {-12.34567, -12.3457}, {100.0 / 60, 1.6667},
                 {123456789012345.0, 123456789012345.0}, {7, 7}};
    for (const auto& c : cases) {
        w.setFloat("HORAS", c.set);
        const double got = w.getFloat("HORAS");
        EXPECT_DOUBLE_EQ(got, c.expected) << c.set;
        EXPECT_FALSE(std::signbit(got) && got == 0) << c.set;
    }
    for (const auto& [text, expected] : std::vector<std::pair<std::string, double>>{
             {"  2,5 ", 2.5}, {"+3", 3}, {"-0", 0}, {"1e2", 100}, {"", 0}}) {
        w.setText("SESIONES", text);
        EXPECT_DOUBLE_EQ(w.getFloat("SESIONES"), expected) << text;
    }
    w.setText("SESIONES", "1.5.2");
    EXPECT_THROW(w.getFloat("SESIONES"), Error);
}

TEST_F(DbfTable, FloatThatDoesNotFitIsAnErrorNotACorruptField)
{
    createTable(m_dir, "ASIGT", kAsigt);
    TableWriter w(m_dir, "ASIGT");
    w.open();
    w.append();
    for (double v : {1e16, -1e15, std::nan("")}) {
        Error e = errorOf([&] { w.setFloat("HORAS", v); });
        EXPECT_EQ(e.code(), ErrorCode::TableIo);
        EXPECT_NE(std::string(e.what()).find("HORAS"), std::string::npos) << e.what();
    }
    w.setFloat("HORAS", 99999999999999.0); // fourteen digits and four decimals fit in twenty
    EXPECT_DOUBLE_EQ(w.getFloat("HORAS"), 99999999999999.0);
}

TEST_F(DbfTable, IntegerReadingRoundsHalfToEvenAndChecksText)
{
    struct Case {
        const char* field;
        const char* text;
        std::optional<std::int32_t> expected; // nullopt: "'text' no es un valor entero válido"
    };
    const Case cases[] = {
        {"NOTA", "2.5", 2},   {"NOTA", "3.5", 4},    {"NOTA", "-2.5", -2},  {"NOTA", "2.5001", 3},
        {"NOTA", "0.4999", 0}, {"NOTA", "3000000000", std::nullopt},
        {"DIATXT", "12", 12}, {"DIATXT", "-7", -7}, {"DIATXT", "+4", 4},  {"DIATXT", "L3", std::nullopt},
        {"DIATXT", "1.5", std::nullopt},
    };
    std::vector<std::vector<std::string>> rows;
    for (const Case& c : cases) {
        std::vector<std::string> row(kSoluc.size());
        row[std::string(c.field) == "NOTA" ? 7 : 6] = c.text;
        rows.push_back(row);
    }
    writeSoluc(rows);
    TableComponent t("wwTableSoluc", "SOLUC");
    t.open(m_dir);
    for (const Case& c : cases) {
        if (c.expected) {
            EXPECT_EQ(t.asInteger(c.field), *c.expected) << c.text;
        } else {
            Error e = errorOf([&] { t.asInteger(c.field); });
            EXPECT_EQ(e.code(), ErrorCode::InvalidInteger) << c.text;
            EXPECT_EQ(std::string(e.what()), "'" + std::string(c.text) + "' no es un valor entero válido");
        }
        t.next();
    }
}

TEST_F(DbfTable, FilterPassesExactlyTheQuotedTeacher)
{
    EXPECT_EQ(filterText("PROF", "O'B"), "PROF= 'O''B'");
    writeSoluc({{"O'B", "1", "1"}, {"o'b", "1", "2"}, {"O'BR", "1", "3"}, {"ANA", "2", "1"},
                {"O'B", "2", "4"}, {" O'B", "3", "1"}});
    TableComponent c("wwTableSoluc", "SOLUC");
    c.open(m_dir);
    c.setFiltered(false);
    c.setFilter(filterText("PROF", "O'B"));
    c.setFiltered(true);
    std::vector<int> hours;
    for (; !c.eof(); c.next())
        hours.push_back(c.asInteger("HORA"));
    EXPECT_EQ(hours, (std::vector<int> {1, 4}));

    c.setFiltered(false);
    c.setFilter("PROF= 'NADIE'");
    c.setFiltered(true);
    EXPECT_TRUE(c.eof());
    EXPECT_EQ(c.asString("PROF"), "");

    c.setFiltered(false);
    EXPECT_FALSE(c.eof());
    EXPECT_EQ(c.asInteger("HORA"), 1); // back on the first record
    int all = 0;
    for (c.first(); !c.eof(); c.next())
        ++all;
    EXPECT_EQ(all, 6);

    for (const char* bad : {"PROF 'A'", "PROF= A", "PROF= 'A", "= 'A'", "PROF= 'A' x"})
        EXPECT_THROW(c.setFilter(bad), Error) << bad;
    c.setFilter("FALTA= 'A'");
    Error e = errorOf([&] { c.setFiltered(true); });
    EXPECT_EQ(e.code(), ErrorCode::FieldNotFound);
    EXPECT_EQ(std::string(e.what()), "wwTableSoluc: No se encuentra el campo 'FALTA'");
}

TEST_F(DbfTable, MissingFieldNamesTheComponent)
{
    createTable(m_dir, "SOLUC", {{"PROF", FieldType::Text, 4}});
    TableComponent c("wwTableSoluc", "SOLUC");
    c.open(m_dir);
    Error e = errorOf([&] { c.asString("CODGRUPO"); });
    EXPECT_EQ(e.code(), ErrorCode::FieldNotFound);
    EXPECT_EQ(std::string(e.what()), "wwTableSoluc: No se encuentra el campo 'CODGRUPO'");
    EXPECT_THROW(c.fieldIndex("prof"), Error); // names are matched exactly
}

TEST_F(DbfTable, ComponentFindsTheTableWhateverItsCaseAndHidesDeletedRecords)
{
    writeSoluc({{"A"}, {"B"}, {"C"}});
    fs::rename(m_dir / "SOLUC.DBF", m_dir / "soluc.dbf");
    { // flag the second record deleted, as the timetable program would
        std::fstream f(m_dir / "soluc.dbf", std::ios::in | std::ios::out | std::ios::binary);
        const std::size_t headerLength = 32 + 32 * kSoluc.size() + 1;
        std::size_t recordLength = 1;
        for (const auto& def : kSoluc)
            recordLength += static_cast<std::size_t>(def.type == FieldType::Text ? def.size
                                                        : def.type == FieldType::Integer ? 11 : 20);
        f.seekp(static_cast<std::streamoff>(headerLength + recordLength));
        f.put('*');
    }
    TableComponent c("wwTableSoluc", "SOLUC");
    c.open(m_dir);
    c.open(m_dir); // opening an open table does nothing
    std::string seen;
    for (c.first(); !c.eof(); c.next())
        seen += c.asString("PROF");
    EXPECT_EQ(seen, "AC");
    EXPECT_EQ(c.rowCount(), 2u);
    EXPECT_EQ(c.textAt(1, c.fieldIndex("PROF")), "C");
    c.close();
    c.close();
    EXPECT_FALSE(c.isOpen());
}

TEST_F(DbfTable, MissingTableNamesComponentAndFile)
{
    TableComponent c("wwTableAsig", "ASIGT");
    Error e = errorOf([&] { c.open(m_dir); });
    EXPECT_EQ(e.code(), ErrorCode::FileNotFound);
    EXPECT_EQ(std::string(e.what()).rfind("wwTableAsig: ", 0), 0u) << e.what();
    EXPECT_NE(std::string(e.what()).find("ASIGT.DBF"), std::string::npos) << e.what();
}

TEST_F(DbfTable, ComponentsHoldTheirTablesAgainstOtherHandles)
{
    writeSoluc({{"A"}});
    TableComponent first("wwTableSoluc", "SOLUC");
    first.open(m_dir);

    TableComponent second("wwTableSoluc", "SOLUC");
    Error e = errorOf([&] { second.open(m_dir); });
    EXPECT_EQ(e.code(), ErrorCode::TableLocked);
    EXPECT_NE(std::string(e.what()).find("wwTableSoluc: "), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("está abierta en otro programa"), std::string::npos) << e.what();

    Error onCreate = errorOf([&] { createTable(m_dir, "SOLUC", kSoluc); });
    EXPECT_EQ(onCreate.code(), ErrorCode::TableLocked);
    EXPECT_TRUE(fs::exists(m_dir / "SOLUC.DBF")); // not clobbered
    TableWriter writer(m_dir, "SOLUC");
    EXPECT_EQ(errorOf([&] { writer.open(); }).code(), ErrorCode::TableLocked);

    first.close();
    EXPECT_NO_THROW(second.open(m_dir));
    second.close();
    EXPECT_NO_THROW(createTable(m_dir, "SOLUC", kSoluc));
}

TEST_F(DbfTable, WriterHoldsItsTableUntilClosed)
{
    createTable(m_dir, "PROFT", {{"ABREV", FieldType::Text, 4}});
    auto writer = std::make_unique<TableWriter>(m_dir, "PROFT");
    writer->open();
    TableComponent reader("wwTableProfesor", "PROFT");
    EXPECT_EQ(errorOf([&] { reader.open(m_dir); }).code(), ErrorCode::TableLocked);
    writer.reset(); // the destructor closes
    EXPECT_NO_THROW(reader.open(m_dir));
}

// Records are stored a run at a time: while the writer is open the table on disk is valid
// and holds a prefix of what was posted; closing, or leaving by an error, stores the rest.
TEST_F(DbfTable, WriterStoresEveryPostedRecordInOrder)
{
    const std::size_t kRecords = 5000; // several runs of stored records, and a part run
    for (const bool leaveByError : {false, true}) {
        createTable(m_dir, "PROFT", {{"ABREV", FieldType::Text, 4}, {"DNI", FieldType::Integer, 0}});
        std::size_t storedWhileOpen = 0;
        try {
            TableWriter w(m_dir, "PROFT");
            w.open();
            for (std::size_t i = 0; i < kRecords; ++i) {
                w.append();
                w.setText("ABREV", "P" + std::to_string(i % 1000));
                w.setInteger("DNI", static_cast<std::int32_t>(i));
                w.post();
            }
            EXPECT_EQ(w.recordCount(), kRecords);
            const dbf::Reader partial = dbf::Reader::open(m_dir / "PROFT.DBF");
            storedWhileOpen = partial.recordCount();
            for (std::size_t i = 0; i < storedWhileOpen; ++i)
                ASSERT_EQ(partial.value(i, 1).text, std::to_string(i));
            if (leaveByError)
                throw std::runtime_error("la conversión falla");
            w.close();
        } catch (const std::runtime_error&) {
            EXPECT_TRUE(leaveByError);
        }
        EXPECT_GT(storedWhileOpen, 0u);
        EXPECT_LT(storedWhileOpen, kRecords);
        TableComponent c("wwTableProfesor", "PROFT");
        c.open(m_dir);
        ASSERT_EQ(c.rowCount(), kRecords) << leaveByError;
        const std::size_t dni = c.fieldIndex("DNI");
        for (std::size_t i = 0; i < kRecords; ++i)
            ASSERT_EQ(c.integerAt(i, dni), static_cast<std::int32_t>(i)) << leaveByError;
    }
}

TEST_F(DbfTable, FirstMatchIndexGivesTheSameRowAsAWalk)
{
    const TableLayout layout = {{"CASIG", FieldType::Text, 4}, {"CGRUP", FieldType::Text, 4},
                                {"MATERIA", FieldType::Text, 10}};
    createTable(m_dir, "ASIGT", layout);
    const std::vector<std::array<const char*, 3>> rows = {
        {"MAT", "1A", "G1"}, {"MAT", "1B", "G2"}, {"LEN", "1A", "G3"}, {"MAT", "1A", "G4"},
        {"MAT", "", "G5"},   {"", "1A", "G6"},    {"MA", "T1A", "G7"}, {"LEN", "1A", "G8"},
    };
    {
        TableWriter w(m_dir, "ASIGT");
        w.open();
        for (const auto& r : rows) {
            w.append();
            w.setText("CASIG", r[0]);
            w.setText("CGRUP", r[1]);
            w.setText("MATERIA", r[2]);
            w.post();
        }
    }
    TableComponent c("wwTableAsig", "ASIGT");
    c.open(m_dir);
    FirstMatchIndex pair(c, {"CASIG", "CGRUP"});
    FirstMatchIndex single(c, {"CASIG"});
    const std::vector<std::pair<std::string, std::string>> keys = {
        {"MAT", "1A"}, {"MAT", "1B"}, {"LEN", "1A"}, {"MAT", ""}, {"", "1A"}, {"MA", "T1A"},
        {"MAT", "1C"}, {"", ""},      {"mat", "1A"}, {"MAT ", "1A"},
    };
    for (const auto& [casig, cgrup] : keys) {
        std::optional<std::size_t> walked, walkedSingle;
        std::size_t row = 0;
        for (c.first(); !c.eof(); c.next(), ++row) {
            if (!walked && c.asString("CASIG") == casig && c.asString("CGRUP") == cgrup)
                walked = row;
            if (!walkedSingle && c.asString("CASIG") == casig)
                walkedSingle = row;
        }
        EXPECT_EQ(pair.find({casig, cgrup}), walked) << casig << "/" << cgrup;
        EXPECT_EQ(single.find(casig), walkedSingle) << casig;
    }
    EXPECT_EQ(c.textAt(*pair.find({"LEN", "1A"}), c.fieldIndex("MATERIA")), "G3");
    EXPECT_THROW(FirstMatchIndex(c, {"NADA"}), Error);
}

// Debian's python3-dbfread, a reader that shares no code with ours, sees the fields,
// widths and values we wrote. Without it the test fails: the set-up installs it.
TEST_F(DbfTable, IndependentReaderSeesWhatWeWrote)
{
    const TableLayout layout = {{"COD", FieldType::Text, 4}, {"NOMBRE", FieldType::Text, 40},
                                {"DNI", FieldType::Integer, 0}, {"HORAS", FieldType::Float, 0},
                                {"EDIFICIO", FieldType::Text, 1}};
    createTable(m_dir, "PRUEBA", layout);
    {
        TableWriter w(m_dir, "PRUEBA");
        w.open();
        w.append();
        w.setText("COD", "MATEM");
        w.setText("NOMBRE", "\xD1" "and\xFA" " P\xE9" "rez"); // Ñandú Pérez in Windows-1252
        w.setInteger("DNI", -12345);
        w.setFloat("HORAS", 1.5);
        w.setText("EDIFICIO", "B");
        w.post();
        w.append();
        w.post();
        w.append();
        w.setText("COD", "O'B");
        w.setInteger("DNI", 2147483647);
        w.setFloat("HORAS", 100.0 / 60.0);
        w.post();
    }
    std::ofstream(m_dir / "leer.py") << "import sys, dbfread\n"
                                        "t = dbfread.DBF(sys.argv[1], load=True)\n"
                                        "print('ENCODING', t.encoding)\n"
                                        "for f in t.fields:\n"
                                        "    print('FIELD', f.name, f.type, f.length, f.decimal_count)\n"
                                        "for r in t.records:\n"
                                        "    print('RECORD', '|'.join(repr(v) for v in r.values()))\n";
    const std::string command = "PYTHONIOENCODING=utf-8 /usr/bin/python3 '" + (m_dir / "leer.py").string() + "' '"
        + (m_dir / "PRUEBA.DBF").string() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buf[512];
    while (std::fgets(buf, sizeof buf, pipe) != nullptr)
        output += buf;
    const int status = ::pclose(pipe);
    ASSERT_EQ(status, 0) << output;
    EXPECT_EQ(output, "ENCODING cp1252\n"
                      "FIELD COD C 4 0\n"
                      "FIELD NOMBRE C 40 0\n"
                      "FIELD DNI N 11 0\n"
                      "FIELD HORAS N 20 4\n"
                      "FIELD EDIFICIO C 1 0\n"
                      "RECORD 'MATE'|'Ñandú Pérez'|-12345|1.5|'B'\n"
                      "RECORD ''|''|None|None|''\n"
                      "RECORD \"O'B\"|''|2147483647|1.6667|''\n");
}
