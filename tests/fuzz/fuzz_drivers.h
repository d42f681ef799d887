// SPDX-License-Identifier: MIT
// Purpose: what the fuzz targets do with one input, shared with the unit test that replays their corpora.
#pragma once

// Each driver takes any bytes, runs every operation of its area on them and checks what
// must hold whatever the input: the only failure allowed is enlazio::Error with a message
// in valid UTF-8, and what the tool writes is readable again. Anything else (a crash, a
// sanitizer report, another exception, a broken invariant) is a finding.

#include "export/conversions.h"
#include "export/table_layouts.h"
#include "formats/dbf_format.h"
#include "formats/dbf_table.h"
#include "formats/error.h"
#include "formats/service_document.h"
#include "import/result_document.h"
#include "tests/unit/dbf_memory_fs.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace enlazio::fuzz {

namespace fs = std::filesystem;

// A property that every input must keep was broken: a finding, not a rejected input.
class InvariantBroken : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

inline void require(bool condition, const std::string& what)
{
    if (!condition)
        throw InvariantBroken(what);
}

inline bool isValidUtf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > s.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

// An Error is the expected way to refuse bad input; its text reaches the user as it is.
inline void checkRefusal(const Error& e)
{
    const std::string message = e.what();
    require(!message.empty(), "an error without a message");
    require(isValidUtf8(message), "an error message that is not UTF-8: " + message);
}

inline void writeBytes(const fs::path& file, const std::uint8_t* data, std::size_t size)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    require(out.good(), "cannot write the scratch file " + file.string());
}

inline std::string readBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A small school the result driver imports against: the export of this document plus a
// SOLUC whose teachers, slots, rooms and groups are in it.
inline constexpr std::string_view kSchoolDocument = R"(<?xml version="1.0" encoding="ISO-8859-1"?>
<SERVICIO><SALIDAS>
<listasal seq="MATERIAS"><listasal><salida>G101</salida><salida>MAT</salida><salida>MATES</salida><salida>Matem&#225;ticas</salida></listasal>
<listasal><salida>X102</salida><salida>LEN</salida><salida>LENGUA</salida><salida>Lengua</salida></listasal></listasal>
<listasal seq="PROFESORES"><listasal><salida>E1</salida><salida>2020</salida><salida>Ana</salida><salida>P1</salida></listasal>
<listasal><salida>E2</salida><salida>2021</salida><salida>Luis</salida><salida>O'B</salida></listasal></listasal>
<listasal seq="AULAS"><listasal><salida>D1</salida><salida>A1</salida><salida>Aula 1</salida><salida>B</salida></listasal></listasal>
<listasal seq="GRUPOS"><listasal><salida>U1</salida><salida>1A</salida><salida>M</salida><salida>ESO</salida><salida>1</salida><salida>A</salida></listasal></listasal>
<listasal seq="ASIGNATURAS"><listasal><salida>MAT</salida><salida>1A</salida><salida>A1</salida><salida>M</salida><salida>ESO</salida><salida>1</salida><salida>A</salida><salida>240</salida><salida>M-MAT</salida></listasal></listasal>
<listasal seq="TRAMOS"><listasal><salida dato="CODIGO_DELPHOS">T1</salida><salida dato="NOMBRE">L1</salida><salida dato="INICIO">08:00</salida><salida dato="FIN">09:00</salida><salida dato="NINUTOS">60</salida></listasal>
<listasal><salida dato="CODIGO_DELPHOS">T2</salida><salida dato="NOMBRE">M2</salida><salida dato="INICIO">09:00</salida><salida dato="FIN">10:00</salida><salida dato="NINUTOS">60</salida></listasal></listasal>
</SALIDAS></SERVICIO>
)";

inline void writeSoluc(const fs::path& exchange)
{
    createTable(exchange, "SOLUC",
                {{"PROF", FieldType::Text, 4}, {"DIA", FieldType::Integer, 0}, {"HORA", FieldType::Integer, 0},
                 {"ASIG", FieldType::Text, 4}, {"AULA", FieldType::Text, 4}, {"CODGRUPO", FieldType::Text, 4}});
    TableWriter soluc(exchange, "SOLUC");
    soluc.open();
    const struct {
        const char *prof, *dia, *hora, *asig, *aula, *grupo;
    } rows[] = {{"P1", "1", "1", "MAT", "A1", "1A"}, {"O'B", "2", "2", "LEN", "A1", "1A"},
                {"P1", "0", "3", "MAT", "A1", "1A"}, {"P1", "9", "1", "XX", "ZZ", "9Z"}};
    for (const auto& row : rows) {
        soluc.append();
        soluc.setText("PROF", row.prof);
        soluc.setText("DIA", row.dia);
        soluc.setText("HORA", row.hora);
        soluc.setText("ASIG", row.asig);
        soluc.setText("AULA", row.aula);
        soluc.setText("CODGRUPO", row.grupo);
        soluc.post();
    }
}

// The six tables and SOLUC of the small school in `exchange`, and the document beside it.
inline fs::path makeSchool(const fs::path& folder)
{
    const fs::path exchange = folder / "ATEMP";
    fs::create_directories(exchange);
    const fs::path document = folder / "escuela.xml";
    writeBytes(document, reinterpret_cast<const std::uint8_t*>(kSchoolDocument.data()), kSchoolDocument.size());
    exportConversions(readServiceSections(document), exchange);
    writeSoluc(exchange);
    return exchange;
}

// Every value of a table through the raw reader; the layout stays inside the records.
inline void readEveryValue(const dbf::Reader& reader)
{
    const dbf::Header& header = reader.header();
    require(header.recordStride >= header.recordLength, "records closer together than their length");
    for (std::size_t f = 0; f < header.fields.size(); ++f) {
        const dbf::Field& field = header.fields[f];
        require(field.width >= 0 && field.offset + static_cast<std::size_t>(field.width) <= header.recordStride,
                "field '" + field.name + "' outside its record");
        require(reader.fieldIndex(field.name).value_or(f + 1) <= f, "fieldIndex misses '" + field.name + "'");
    }
    for (std::size_t r = 0; r <= reader.recordCount(); ++r) { // one past the end as well
        (void)reader.isDeleted(r);
        for (std::size_t f = 0; f <= header.fields.size(); ++f) {
            const std::string_view raw = reader.rawField(r, f);
            const dbf::Value value = reader.value(r, f);
            if (r == reader.recordCount() || f == header.fields.size()) {
                require(raw.empty() && value.kind == dbf::Value::Kind::Empty, "a value past the end");
                continue;
            }
            require(raw.size() == static_cast<std::size_t>(header.fields[f].width), "raw field of the wrong width");
            if (value.kind == dbf::Value::Kind::Number && value.text.find_first_not_of("-.0123456789") == std::string::npos)
                (void)dbf::roundHalfEven(value.text);
        }
    }
}

// Appending to a table the appender accepts keeps it a table the reader accepts, with the
// new records or, when a write fails part-way, with those before the failure.
// way: 0 and 1 fail the first or second write of one record; 2 fills the disk in the middle
// of the second of three records appended as a run; 3 fails the run's first write.
inline void appendThroughTheSeam(testing::MemoryFileSystem& memory, std::size_t way)
{
    std::optional<dbf::Appender> appender;
    try {
        appender.emplace(dbf::Appender::open("t.dbf", memory));
    } catch (const Error& e) {
        checkRefusal(e);
        return;
    }
    const std::size_t before = appender->recordCount();
    const std::size_t stride = appender->header().recordStride;
    const auto original = memory.file("t.dbf");
    const std::size_t wanted = way < 2 ? 1 : 3;
    if (way == 2)
        memory.writeBudget = stride + stride / 2;
    else
        memory.failingWrite = memory.writeCalls + (way == 1 ? 2 : 1);
    bool failed = false;
    try {
        if (wanted == 1)
            appender->append(std::string(stride, ' '));
        else
            appender->appendMany(std::string(3 * stride, ' '));
    } catch (const Error& e) {
        checkRefusal(e);
        failed = true;
    }
    appender.reset();
    memory.failingWrite.reset();
    memory.writeBudget.reset();
    try {
        const dbf::Reader after = dbf::Reader::open("t.dbf", {}, memory);
        const std::size_t added = after.recordCount() - before;
        require(after.recordCount() >= before && (failed ? added < wanted : added == wanted),
                "the record count after an append is wrong");
        // A reader that goes by the end mark, not the count, must see the same records.
        const std::size_t next = after.header().headerLength + after.recordCount() * stride;
        require(next >= memory.file("t.dbf").size() || memory.file("t.dbf")[next] == dbf::kEndOfData,
                "no end mark after the last counted record");
        if (before > 0) {
            const std::size_t start = after.header().headerLength;
            require(std::equal(original.begin() + static_cast<std::ptrdiff_t>(start),
                               original.begin() + static_cast<std::ptrdiff_t>(start + before * stride),
                               memory.file("t.dbf").begin() + static_cast<std::ptrdiff_t>(start)),
                    "an append changed the records before it");
        }
        readEveryValue(after);
    } catch (const Error& e) {
        throw InvariantBroken(std::string("a table the appender accepted reads no more: ") + e.what());
    }
}

// The table layer the import reads through: walks, conversions, the filter, lookups.
inline void readThroughTheComponent(const fs::path& folder, const dbf::Header& header)
{
    TableComponent table("wwTableSoluc", "SOLUC");
    try {
        table.open(folder);
    } catch (const Error& e) {
        throw InvariantBroken(std::string("the component refuses what the reader read: ") + e.what());
    }
    const std::size_t rows = table.rowCount();
    std::vector<std::string> firstColumn;
    for (std::size_t f = 0; f < header.fields.size(); ++f) {
        const std::string& name = header.fields[f].name;
        std::size_t index = 0;
        try {
            index = table.fieldIndex(name);
        } catch (const Error& e) {
            checkRefusal(e);
            continue;
        }
        for (std::size_t row = 0; row < rows; ++row) {
            const std::string text = table.textAt(row, index);
            if (f == 0)
                firstColumn.push_back(text);
            try {
                (void)table.integerAt(row, index);
            } catch (const Error& e) {
                checkRefusal(e);
            }
        }
        int walked = 0;
        for (table.first(); !table.eof() && walked < 4; table.next(), ++walked) {
            (void)table.asString(name);
            try {
                (void)table.asInteger(name);
            } catch (const Error& e) {
                checkRefusal(e);
            }
            try {
                (void)table.asFloat(name);
            } catch (const Error& e) {
                checkRefusal(e);
            }
        }
    }
    if (firstColumn.empty())
        return;
    const std::string& field = header.fields[0].name;
    const std::size_t index = table.fieldIndex(field);

    // The index gives the first row of each key, as a walk would.
    const FirstMatchIndex lookup(table, {field});
    for (std::size_t row = 0; row < rows; ++row) {
        const auto found = lookup.find(firstColumn[row]);
        require(found && *found <= row && table.textAt(*found, index) == firstColumn[row]
                    && std::find(firstColumn.begin(), firstColumn.end(), firstColumn[row]) - firstColumn.begin()
                           == static_cast<std::ptrdiff_t>(*found),
                "the lookup does not give the first matching row");
    }

    // The filter text cannot name a field with '=' in it or with blanks around it.
    if (field.find('=') != std::string::npos || field.front() == ' ' || field.back() == ' ')
        return;
    // The filter passes exactly the rows whose text equals the constant, in table order.
    const std::string wanted = firstColumn[firstColumn.size() / 2];
    table.setFilter(filterText(field, wanted));
    table.setFiltered(true);
    const std::size_t expected = static_cast<std::size_t>(std::count(firstColumn.begin(), firstColumn.end(), wanted));
    std::size_t passed = 0;
    for (table.first(); !table.eof(); table.next()) {
        require(table.asString(field) == wanted, "the filter passes a row it should not");
        ++passed;
    }
    require(passed == expected, "the filter misses rows");
    table.setFiltered(false);
}

// Any bytes as SOLUC: the reader through the memory seam, the appender, the table layer,
// then a whole import run against the small school.
inline void exerciseTable(const std::uint8_t* data, std::size_t size, const fs::path& schoolDocument)
{
    testing::MemoryFileSystem memory;
    memory.files["t.dbf"] = std::make_shared<testing::MemoryFileSystem::Bytes>(data, data + size);
    std::optional<dbf::Reader> reader;
    try {
        dbf::Reader::Options options;
        options.exclusive = true;
        reader.emplace(dbf::Reader::open("t.dbf", options, memory));
    } catch (const Error& e) {
        checkRefusal(e);
        return;
    }
    readEveryValue(*reader);
    try {
        dbf::Reader::Options dos;
        dos.codePage = CodePage::Ibm850;
        readEveryValue(dbf::Reader::open("t.dbf", dos, memory));
    } catch (const Error& e) {
        throw InvariantBroken(std::string("another code page refuses the table: ") + e.what());
    }

    const fs::path exchange = schoolDocument.parent_path() / "ATEMP";
    writeBytes(exchange / "SOLUC.DBF", data, size);
    readThroughTheComponent(exchange, reader->header());
    try {
        (void)runImport(schoolDocument, exchange);
    } catch (const Error& e) {
        checkRefusal(e);
    }

    appendThroughTheSeam(memory, size % 4);
}

// Any bytes as a service document: the export's read of every section, the conversions
// when it has entries, and the import's load.
inline void exerciseSections(const fs::path& document, const fs::path& exchange)
{
    std::optional<ServiceSections> sections;
    try {
        sections.emplace(readServiceSections(document));
    } catch (const Error& e) {
        checkRefusal(e);
    }
    std::size_t entries = 0;
    if (sections) {
        for (const SectionEntries* section : {&sections->materias, &sections->profesores, &sections->aulas,
                                              &sections->grupos, &sections->asignaturas, &sections->tramos}) {
            for (std::size_t e = 0; e <= section->entryCount(); ++e) {
                for (std::size_t p = 0; p <= section->valueCount(e); ++p) {
                    const std::string_view text = section->text(e, p);
                    require(text.empty() || (static_cast<unsigned char>(text.front()) > 0x20
                                             && static_cast<unsigned char>(text.back()) > 0x20),
                            "a value that is not trimmed");
                    (void)section->dato(e, p);
                }
            }
            entries += section->entryCount();
        }
    }
    if (sections && entries > 0) {
        try {
            exportConversions(*sections, exchange);
        } catch (const Error& e) {
            checkRefusal(e);
        }
        // Whatever the conversions stopped on, every table they left reads.
        for (std::string_view name : kExportTables) {
            const fs::path table = exchange / (std::string(name) + ".DBF");
            if (!fs::exists(table))
                continue;
            try {
                readEveryValue(dbf::Reader::open(table));
            } catch (const Error& e) {
                throw InvariantBroken(std::string("the export left a table that does not read: ") + e.what());
            }
        }
    }
    try {
        ServiceDocument tree = ServiceDocument::load(document);
        if (XmlNode* root = tree.documentElement())
            (void)tree.selectSingleChild(root, "SALIDAS");
    } catch (const Error& e) {
        checkRefusal(e);
    }
}

// Any bytes as the chosen document of an import: the output part rebuilt from the small
// school's tables and saved. The chosen file keeps its bytes and the result loads again.
inline void exerciseResult(const fs::path& document, const fs::path& exchange)
{
    const std::string before = readBytes(document);
    std::optional<ServiceDocument> tree;
    try {
        tree.emplace(ServiceDocument::load(document));
    } catch (const Error& e) {
        checkRefusal(e);
        return;
    }
    const fs::path result = resultPathFor(document);
    std::error_code ignored;
    fs::remove(result, ignored);
    ImportTables tables;
    bool saved = false;
    try {
        buildResultDocument(*tree, document, tables, exchange);
        saved = true;
    } catch (const Error& e) {
        checkRefusal(e);
    }
    require(!tables.soluc.isOpen() && !tables.asig.isOpen() && !tables.profesor.isOpen(), "a table stays open");
    require(readBytes(document) == before, "the chosen document changed");
    if (!saved) {
        require(!fs::exists(result), "a failed run left a result");
        return;
    }
    try {
        ServiceDocument again = ServiceDocument::load(result);
        XmlNode* root = again.documentElement();
        require(root != nullptr && again.selectSingleChild(root, "SALIDAS") != nullptr, "the result lost SALIDAS");
    } catch (const Error& e) {
        throw InvariantBroken(std::string("the saved result does not load: ") + e.what());
    }
}

// A fresh folder for one fuzzing process, in memory where the system offers /dev/shm (the
// result's save syncs to the disk), removed when the process ends normally.
inline const fs::path& fuzzScratch()
{
    // Never destroyed: the exit handler below still needs it.
    static const fs::path* const folder = [] {
        const fs::path base = fs::is_directory("/dev/shm") && ::access("/dev/shm", W_OK) == 0
                                  ? fs::path("/dev/shm")
                                  : fs::temp_directory_path();
        std::string name = (base / "enlazio-fuzz-XXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(fuzzScratch(), ignored);
        });
        return new fs::path(name);
    }();
    return *folder;
}

// Runs one input; a finding prints what broke and aborts, so that libFuzzer keeps the input.
template <typename Body>
int runOne(Body&& body)
{
    try {
        body();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "finding: %s\n", e.what());
        std::abort();
    }
    return 0;
}

} // namespace enlazio::fuzz
