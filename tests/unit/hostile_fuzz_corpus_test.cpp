// SPDX-License-Identifier: MIT
// Purpose: the fuzz seeds and every input a fuzzer ever broke the tool with, replayed through the fuzz drivers.
#include "tests/fuzz/fuzz_drivers.h"
#include "tests/unit/xml_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace enlazio {
namespace {

namespace fs = std::filesystem;
using xmltest::TempFolder;

const fs::path kFuzzData = fs::path(ENLAZIO_TEST_DATA_DIR) / "fuzz";

std::vector<fs::path> filesIn(const fs::path& folder)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// Runs the driver on every file of the folder; a broken invariant or any exception other
// than the drivers' accepted Error fails the file, and the others still run.
void replay(const fs::path& folder, const std::function<void(const fs::path&)>& driver)
{
    const std::vector<fs::path> files = filesIn(folder);
    ASSERT_FALSE(files.empty()) << "no inputs in " << folder;
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        try {
            driver(file);
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
    }
}

TEST(FuzzCorpus, EveryTableReadsOrIsRefusedCleanly)
{
    TempFolder scratch;
    const fs::path school = fuzz::makeSchool(scratch.path()).parent_path() / "escuela.xml";
    replay(kFuzzData / "tables", [&](const fs::path& file) {
        const std::string bytes = fuzz::readBytes(file);
        fuzz::exerciseTable(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), school);
    });
}

TEST(FuzzCorpus, EveryDocumentReadsOrIsRefusedCleanly)
{
    TempFolder scratch;
    fs::create_directory(scratch.path() / "ATEMP");
    replay(kFuzzData / "documents", [&](const fs::path& file) {
        const fs::path copy = scratch.path() / "documento.xml";
        fs::copy_file(file, copy, fs::copy_options::overwrite_existing);
        fuzz::exerciseSections(copy, scratch.path() / "ATEMP");
    });
}

TEST(FuzzCorpus, EveryDocumentRewritesOrIsRefusedCleanly)
{
    TempFolder scratch;
    const fs::path exchange = fuzz::makeSchool(scratch.path());
    replay(kFuzzData / "documents", [&](const fs::path& file) {
        const fs::path copy = scratch.path() / "elegido.xml";
        fs::copy_file(file, copy, fs::copy_options::overwrite_existing);
        fuzz::exerciseResult(copy, exchange);
    });
}

// What each input a fuzzer found gives now, one row per finding.
struct Regression {
    const char* file;              // in tests/data/fuzz/tables or documents
    std::optional<ErrorCode> code; // nullopt: the input reads
    const char* messagePart;
};

const Regression kTableRegressions[] = {
    // A level 7 binary field of the wrong width, named in bytes of the table's code page:
    // the message said the name in those bytes, which are not UTF-8.
    {"regresion-nombre-no-utf8.dbf", ErrorCode::TableFormat, "mide 77 bytes y debe medir 8"},
    // A level 7 timestamp of -1.6e22 ms: its day count did not fit an integer (undefined
    // behaviour the sanitizer build reports). It reads as empty.
    {"regresion-fecha-dbase7-enorme.dbf", std::nullopt, ""},
    // It reads, but its field 0 bytes wide, named in Windows-1252, is refused where the
    // import reads it, with a message that said the name's bytes (the replay above checks).
    {"regresion-campo-de-ancho-cero-no-utf8.dbf", std::nullopt, ""},
};

const Regression kDocumentRegressions[] = {
    // libxml2 quotes 50 bytes of an unfinished CDATA section, cut inside a character:
    // the message was not UTF-8.
    {"regresion-mensaje-cdata-cortado.xml", ErrorCode::XmlParse, "CData section not finished"},
};

void expectOutcome(const Regression& r, const std::function<void()>& read)
{
    SCOPED_TRACE(r.file);
    try {
        read();
        EXPECT_FALSE(r.code.has_value()) << "no error";
    } catch (const Error& e) {
        ASSERT_TRUE(r.code.has_value()) << e.what();
        EXPECT_EQ(e.code(), *r.code) << e.what();
        EXPECT_NE(std::string(e.what()).find(r.messagePart), std::string::npos) << e.what();
        EXPECT_TRUE(fuzz::isValidUtf8(e.what())) << e.what();
    }
}

TEST(FuzzRegression, TablesGiveWhatTheyShould)
{
    for (const Regression& r : kTableRegressions)
        expectOutcome(r, [&] {
            const dbf::Reader reader = dbf::Reader::open(kFuzzData / "tables" / r.file);
            for (std::size_t record = 0; record < reader.recordCount(); ++record)
                for (std::size_t field = 0; field < reader.header().fields.size(); ++field)
                    (void)reader.value(record, field);
        });
}

TEST(FuzzRegression, DocumentsGiveWhatTheyShould)
{
    for (const Regression& r : kDocumentRegressions) {
        expectOutcome(r, [&] { (void)ServiceDocument::load(kFuzzData / "documents" / r.file); });
        // The streaming read may stop on another error of the same document.
        expectOutcome({r.file, r.code, ""}, [&] { (void)readServiceSections(kFuzzData / "documents" / r.file); });
    }
}

// Documents whose result, once saved, did not load again: the encoding the result is saved in.
const std::pair<const char*, const char*> kResultRegressions[] = {
    // Declared UTF-7: saved in it, the result hid its own declaration from every reader.
    {"regresion-resultado-utf7.xml", "UTF-8"},
};

TEST(FuzzRegression, ResultsLoadAgain)
{
    TempFolder scratch;
    const fs::path exchange = fuzz::makeSchool(scratch.path());
    for (const auto& [file, encoding] : kResultRegressions) {
        SCOPED_TRACE(file);
        const fs::path chosen = scratch.path() / file;
        fs::copy_file(kFuzzData / "documents" / file, chosen, fs::copy_options::overwrite_existing);
        ServiceDocument document = ServiceDocument::load(chosen);
        ImportTables tables;
        const ImportSummary summary = buildResultDocument(document, chosen, tables, exchange);
        const ServiceDocument result = ServiceDocument::load(summary.resultPath);
        EXPECT_EQ(result.declaredEncoding(), encoding);
        EXPECT_EQ(readServiceSections(summary.resultPath).materias.entryCount(), 0u);
    }
}

} // namespace
} // namespace enlazio
