// SPDX-License-Identifier: MIT
// Purpose: the dBase reader and writer byte by byte: layout written, values read, hostile headers refused.
#include "formats/dbf_format.h"
#include "formats/error.h"

#include "dbf_memory_fs.h"

#include <gtest/gtest.h>


using namespace enlazio;
using enlazio::testing::MemoryFileSystem;

namespace {

std::uint32_t le32At(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

unsigned le16At(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8;
}

const std::vector<dbf::FieldDescriptor> kMixedFields = {
    {"NOMBRE", 'C', 10, 0}, {"DNI", 'N', 11, 0}, {"HORAS", 'N', 20, 4},
    {"ALTA", 'D', 8, 0},    {"ACTIVO", 'L', 1, 0}, {"TASA", 'F', 10, 2},
};

std::string record(std::initializer_list<std::string_view> fields, char flag = ' ')
{
    std::string r(1, flag);
    for (auto f : fields)
        r += f;
    return r;
}

// Three records of kMixedFields: full, empty, and a deleted one.
MemoryFileSystem mixedTable()
{
    MemoryFileSystem fs;
    dbf::createFile("t.dbf", kMixedFields, 0x57, fs);
    auto a = dbf::Appender::open("t.dbf", fs);
    a.append(record({"Ca\xF1izo    ", "        -42", "              1.5000", "20240131", "T", "     -0.50"}));
    a.append(record({"          ", "           ", "                    ", "        ", " ", "          "}));
    a.append(record({"Borrado   ", "          7", "                    ", "        ", "F", "          "}, '*'));
    return fs;
}

} // namespace

TEST(DbfWrite, EmptyTableHasTheHeaderDescriptorsAndBothMarks)
{
    MemoryFileSystem fs;
    dbf::createFile("t.dbf", kMixedFields, 0x57, fs);
    const auto& b = fs.file("t.dbf");
    const std::size_t headerLength = 32 + 32 * kMixedFields.size() + 1;
    ASSERT_EQ(b.size(), headerLength + 1);
    EXPECT_EQ(b[0], 0x03);
    EXPECT_GE(b[2], 1);
    EXPECT_LE(b[2], 12);
    EXPECT_GE(b[3], 1);
    EXPECT_LE(b[3], 31);
    EXPECT_EQ(le32At(b, 4), 0u);
    EXPECT_EQ(le16At(b, 8), headerLength);
    EXPECT_EQ(le16At(b, 10), 1u + 10 + 11 + 20 + 8 + 1 + 10);
    EXPECT_EQ(b[29], 0x57);
    EXPECT_EQ(b[headerLength - 1], 0x0D);
    EXPECT_EQ(b[headerLength], 0x1A);
    // Third descriptor: HORAS N(20,4), the name NUL-padded to 11 bytes.
    const std::size_t d = 32 + 2 * 32;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[d]), 11), std::string("HORAS\0\0\0\0\0\0", 11));
    EXPECT_EQ(b[d + 11], 'N');
    EXPECT_EQ(b[d + 16], 20);
    EXPECT_EQ(b[d + 17], 4);
}

TEST(DbfWrite, TableWithoutFieldsIsThirtyFourBytes)
{
    MemoryFileSystem fs;
    dbf::createFile("e.dbf", {}, 0x57, fs);
    EXPECT_EQ(fs.file("e.dbf").size(), 34u);
    auto r = dbf::Reader::open("e.dbf", {}, fs);
    EXPECT_EQ(r.recordCount(), 0u);
    EXPECT_TRUE(r.header().fields.empty());
}

TEST(DbfWrite, EveryAppendLeavesCountRecordAndEndMark)
{
    MemoryFileSystem fs = mixedTable();
    const auto& b = fs.file("t.dbf");
    const std::size_t headerLength = le16At(b, 8), recordLength = le16At(b, 10);
    EXPECT_EQ(le32At(b, 4), 3u);
    ASSERT_EQ(b.size(), headerLength + 3 * recordLength + 1);
    EXPECT_EQ(b[headerLength], ' ');
    EXPECT_EQ(b[headerLength + 2 * recordLength], '*');
    EXPECT_EQ(b.back(), 0x1A);
}

TEST(DbfWrite, RefusesLayoutsTheFormatCannotHold)
{
    const std::vector<std::vector<dbf::FieldDescriptor>> bad = {
        {{"NOMBRE_LARGO", 'C', 4, 0}}, {{"", 'C', 4, 0}},      {{"A B", 'C', 4, 0}},
        {{"A", 'C', 0, 0}},            {{"A", 'C', 255, 0}},   {{"A", 'N', 21, 0}},
        {{"A", 'X', 4, 0}},            {{"A", 'C', 4, 0}, {"A", 'N', 11, 0}},
    };
    for (const auto& fields : bad) {
        MemoryFileSystem fs;
        EXPECT_THROW(dbf::createFile("t.dbf", fields, 0x57, fs), Error) << fields[0].name;
        EXPECT_EQ(fs.files.count("t.dbf"), 0u);
    }
}

TEST(DbfRead, ValuesOfEveryWrittenTypeComeBack)
{
    MemoryFileSystem fs = mixedTable();
    auto r = dbf::Reader::open("t.dbf", {}, fs);
    ASSERT_EQ(r.recordCount(), 3u);
    EXPECT_EQ(r.header().codePage, CodePage::Windows1252);
    EXPECT_EQ(r.header().fields[5].offset, 1u + 10 + 11 + 20 + 8 + 1);
    using K = dbf::Value::Kind;
    const std::vector<std::pair<K, std::string>> full = {
        {K::Text, "Ca\xF1izo"}, {K::Number, "-42"}, {K::Number, "1.5"},
        {K::Date, "20240131"},  {K::Logical, "T"},  {K::Number, "-0.5"},
    };
    for (std::size_t f = 0; f < full.size(); ++f) {
        dbf::Value v = r.value(0, f);
        EXPECT_EQ(v.kind, full[f].first) << f;
        EXPECT_EQ(v.text, full[f].second) << f;
        EXPECT_EQ(r.value(1, f).kind, K::Empty) << f;
        EXPECT_EQ(r.value(1, f).text, "") << f;
    }
    EXPECT_FALSE(r.isDeleted(0));
    EXPECT_TRUE(r.isDeleted(2));
    EXPECT_EQ(r.fieldIndex("HORAS"), 2u);
    EXPECT_EQ(r.fieldIndex("horas"), std::nullopt);
}

TEST(DbfRead, NumberTextIsCanonicalAndEmptyFormsAreEmpty)
{
    using namespace std::literals;
    struct Case {
        std::string_view raw;
        std::optional<std::string> expected;
        bool invalid;
    };
    const Case cases[] = {
        {"      "sv, std::nullopt, false}, {"******"sv, std::nullopt, false},
        {"12\0\0\0\0"sv, "12", false},     {"  +007.250"sv, "7.25", false},
        {"-0.000"sv, "0", false},          {".5"sv, "0.5", false},
        {"1.5E+03"sv, "1500", false},      {"-"sv, "-", true},
        {"12a"sv, "12a", true},            {"170000000000000000000.00"sv, "170000000000000000000", false},
    };
    for (const Case& c : cases) {
        bool invalid = false;
        EXPECT_EQ(dbf::parseNumberText(c.raw, invalid), c.expected) << c.raw;
        EXPECT_EQ(invalid, c.invalid) << c.raw;
    }
}

TEST(DbfRead, RoundsHalfToEven)
{
    const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
        {"2.5", 2},  {"3.5", 4},   {"-2.5", -2}, {"-3.5", -4},          {"2.5000001", 3},
        {"2.49", 2}, {"0.5", 0},   {"7", 7},     {"-0", 0},             {"99999999999999999999", std::nullopt},
        {"abc", std::nullopt},     {"9223372036854775807", INT64_MAX},  {"-9223372036854775808", INT64_MIN},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(dbf::roundHalfEven(text), expected) << text;
}

TEST(DbfRead, CodePageFollowsTheLanguageDriver)
{
    EXPECT_EQ(dbf::codePageOf(0x57, ""), CodePage::Windows1252);
    EXPECT_EQ(dbf::codePageOf(0x01, ""), CodePage::Ibm437);
    EXPECT_EQ(dbf::codePageOf(0x14, ""), CodePage::Ibm850);
    EXPECT_EQ(dbf::codePageOf(0x00, ""), CodePage::Windows1252);
    EXPECT_EQ(dbf::codePageOf(0x00, "DB437US0"), CodePage::Ibm437);
    EXPECT_EQ(dbf::codePageOf(0x00, "DB850ES0"), CodePage::Ibm850);
    EXPECT_EQ(dbf::codePageOf(0x00, "DBWINUS0"), CodePage::Windows1252);
}

// A run that stops anywhere while appending, the disk full at any byte or any write
// failing, leaves a table holding exactly the records stored before.
TEST(DbfWrite, StoppingAnywhereLeavesAValidTable)
{
    const std::vector<dbf::FieldDescriptor> fields = {{"COD", 'C', 4, 0}, {"HORAS", 'N', 20, 4}};
    const std::string rec[] = {record({"A1  ", "              1.0000"}), record({"B2  ", "              2.0000"}),
                               record({"C3  ", "              3.0000"})};
    struct Stop {
        std::optional<std::size_t> budget, failingWrite;
        std::size_t expectedPosted;
    };
    std::vector<Stop> stops;
    // Each record grows the file by its own size: it replaces the end mark and adds one.
    for (std::size_t budget = 0; budget <= 3 * rec[0].size(); ++budget)
        stops.push_back({budget, std::nullopt, std::min<std::size_t>(3, budget / rec[0].size())});
    // Two writes per record: the record with its end mark, then the header's date and count.
    for (std::size_t call = 1; call <= 6; ++call)
        stops.push_back({std::nullopt, call, (call - 1) / 2});

    for (const Stop& stop : stops) {
        const std::string label = "budget " + std::to_string(stop.budget.value_or(0)) + ", failing write "
            + std::to_string(stop.failingWrite.value_or(0));
        MemoryFileSystem fs;
        dbf::createFile("t.dbf", fields, 0x57, fs);
        fs.writeBudget = stop.budget;
        fs.failingWrite = stop.failingWrite;
        fs.writeCalls = 0;
        std::size_t posted = 0;
        try {
            auto a = dbf::Appender::open("t.dbf", fs);
            for (const std::string& r : rec) {
                a.append(r);
                ++posted;
            }
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), ErrorCode::TableIo);
            EXPECT_NE(std::string(e.what()).find("registro " + std::to_string(posted + 1) + " de la tabla t.dbf"),
                      std::string::npos)
                << e.what();
        }
        EXPECT_EQ(posted, stop.expectedPosted) << label;
        fs.writeBudget.reset();
        fs.failingWrite.reset();
        auto r = dbf::Reader::open("t.dbf", {}, fs);
        ASSERT_EQ(r.recordCount(), posted) << label;
        for (std::size_t i = 0; i < posted; ++i)
            EXPECT_EQ(r.value(i, 1).text, std::to_string(i + 1)) << label;
    }
}

// Several records stored in one go: a disk that fills up at any byte leaves exactly the
// records that fit, and the error names the first that did not; a write that fails once
// is tried again record by record.
TEST(DbfWrite, AppendingManyAtOnceStopsWhereAppendingEachWould)
{
    const std::vector<dbf::FieldDescriptor> fields = {{"COD", 'C', 4, 0}, {"HORAS", 'N', 20, 4}};
    const std::string rec[] = {record({"A1  ", "              1.0000"}), record({"B2  ", "              2.0000"}),
                               record({"C3  ", "              3.0000"})};
    const std::string all = rec[0] + rec[1] + rec[2];
    struct Stop {
        std::optional<std::size_t> budget, failingWrite;
        std::size_t expectedStored;
    };
    std::vector<Stop> stops;
    for (std::size_t budget = 0; budget <= 3 * rec[0].size(); ++budget)
        stops.push_back({budget, std::nullopt, std::min<std::size_t>(3, budget / rec[0].size())});
    stops.push_back({std::nullopt, 1, 3}); // the run's records, then every record again
    stops.push_back({std::nullopt, 2, 3}); // the run's count, then every record again

    for (const Stop& stop : stops) {
        const std::string label = "budget " + std::to_string(stop.budget.value_or(0)) + ", failing write "
            + std::to_string(stop.failingWrite.value_or(0));
        MemoryFileSystem fs;
        dbf::createFile("t.dbf", fields, 0x57, fs);
        fs.writeBudget = stop.budget;
        fs.failingWrite = stop.failingWrite;
        fs.writeCalls = 0;
        auto a = dbf::Appender::open("t.dbf", fs);
        try {
            a.appendMany(all);
            EXPECT_EQ(stop.expectedStored, 3u) << label;
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), ErrorCode::TableIo);
            EXPECT_NE(std::string(e.what()).find("registro " + std::to_string(stop.expectedStored + 1) + " de la tabla"),
                      std::string::npos)
                << label << ": " << e.what();
        }
        EXPECT_EQ(a.recordCount(), stop.expectedStored) << label;
        fs.writeBudget.reset();
        fs.failingWrite.reset();
        auto r = dbf::Reader::open("t.dbf", {}, fs);
        ASSERT_EQ(r.recordCount(), stop.expectedStored) << label;
        for (std::size_t i = 0; i < stop.expectedStored; ++i)
            EXPECT_EQ(r.value(i, 1).text, std::to_string(i + 1)) << label;
    }
}

TEST(DbfWrite, AppendingManyRefusesAPartRecord)
{
    MemoryFileSystem fs;
    dbf::createFile("t.dbf", {{"COD", 'C', 4, 0}}, 0x57, fs);
    auto a = dbf::Appender::open("t.dbf", fs);
    EXPECT_THROW(a.appendMany(" A1   B"), Error);
    a.appendMany("");
    EXPECT_EQ(a.recordCount(), 0u);
    EXPECT_EQ(fs.file("t.dbf").size(), 32u + 32u + 1u + 1u);
}

TEST(DbfWrite, FailedCreationLeavesNoHalfTable)
{
    MemoryFileSystem fs;
    fs.writeBudget = 40;
    try {
        dbf::createFile("t.dbf", kMixedFields, 0x57, fs);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::TableIo);
        EXPECT_NE(std::string(e.what()).find("t.dbf"), std::string::npos);
    }
    EXPECT_EQ(fs.files.count("t.dbf"), 0u);
}

TEST(DbfRead, ExclusiveOpenFailsWhileAnotherHolderHasTheTable)
{
    MemoryFileSystem fs = mixedTable();
    fs.lockedElsewhere.insert("t.dbf");
    dbf::Reader::Options exclusive;
    exclusive.exclusive = true;
    try {
        dbf::Reader::open("t.dbf", exclusive, fs);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::TableLocked);
        EXPECT_NE(std::string(e.what()).find("está abierta en otro programa"), std::string::npos);
    }
    EXPECT_NO_THROW(dbf::Reader::open("t.dbf", {}, fs)); // a plain read takes no lock
    EXPECT_THROW(dbf::Appender::open("t.dbf", fs), Error);
}

TEST(DbfRead, MissingFileIsFileNotFound)
{
    MemoryFileSystem fs;
    try {
        dbf::Reader::open("nada.dbf", {}, fs);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::FileNotFound);
        EXPECT_NE(std::string(e.what()).find("nada.dbf"), std::string::npos);
    }
}

namespace {

struct HostileCase {
    const char* name;
    void (*damage)(std::vector<std::uint8_t>&);
};

void putLe16(std::vector<std::uint8_t>& b, std::size_t at, unsigned v)
{
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

const HostileCase kHostile[] = {
    {"empty file", [](auto& b) { b.clear(); }},
    {"shorter than a header", [](auto& b) { b.resize(31); }},
    {"cut inside the descriptors", [](auto& b) { b.resize(100); }},
    {"cut inside the last record", [](auto& b) { b.resize(b.size() - 10); }},
    {"record count far too high", [](auto& b) { b[4] = b[5] = b[6] = b[7] = 0xFF; }},
    {"record count one too high", [](auto& b) { b[4] = 4; }},
    {"header length beyond the file", [](auto& b) { putLe16(b, 8, 0xFFFF); }},
    {"header length below 32", [](auto& b) { putLe16(b, 8, 20); }},
    {"record length zero", [](auto& b) { putLe16(b, 10, 0); }},
    {"field width beyond the records", [](auto& b) { b[32 + 16] = 255; }},
    {"dBase II", [](auto& b) { b[0] = 0x02; }},
    {"unknown version", [](auto& b) { b[0] = 0x7F; }},
    {"level 7 header in a short file", [](auto& b) { b[0] = 0x04; b.resize(60); }},
    {"Visual FoxPro integer of 2 bytes", [](auto& b) { b[0] = 0x30; b[32 + 11] = 'I'; b[32 + 16] = 2; }},
};

} // namespace

TEST(DbfRead, HostileHeadersGiveAnErrorNamingTheFile)
{
    const MemoryFileSystem good = mixedTable();
    for (const HostileCase& c : kHostile) {
        MemoryFileSystem fs;
        auto bytes = *good.files.at("t.dbf");
        c.damage(bytes);
        fs.files["t.dbf"] = std::make_shared<std::vector<std::uint8_t>>(bytes);
        try {
            dbf::Reader::open("t.dbf", {}, fs);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), ErrorCode::TableFormat) << c.name;
            EXPECT_NE(std::string(e.what()).find("t.dbf"), std::string::npos) << c.name << ": " << e.what();
        }
    }
}

TEST(DbfRead, MissingEndMarksAreNoError)
{
    MemoryFileSystem fs = mixedTable();
    auto& b = fs.file("t.dbf");
    b.pop_back();                 // no 0x1A
    b[le16At(b, 8) - 1] = 0x20;   // no 0x0D
    auto r = dbf::Reader::open("t.dbf", {}, fs);
    EXPECT_EQ(r.recordCount(), 3u);
    EXPECT_EQ(r.header().fields.size(), kMixedFields.size());
    EXPECT_EQ(r.value(0, 0).text, "Ca\xF1izo");
}

// Every single-byte damage to the header either reads or gives an Error, and reading
// every value of what opens stays inside the data (the sanitizer build checks that).
TEST(DbfRead, AnyDamagedHeaderByteIsReadOrRefused)
{
    const MemoryFileSystem good = mixedTable();
    const auto& original = *good.files.at("t.dbf");
    const std::size_t headerLength = le16At(original, 8);
    for (std::size_t at = 0; at < headerLength; ++at)
        for (std::uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
            MemoryFileSystem fs;
            auto bytes = original;
            bytes[at] = value;
            fs.files["t.dbf"] = std::make_shared<std::vector<std::uint8_t>>(bytes);
            try {
                auto r = dbf::Reader::open("t.dbf", {}, fs);
                for (std::size_t rec = 0; rec < r.recordCount(); ++rec)
                    for (std::size_t f = 0; f < r.header().fields.size(); ++f) {
                        const dbf::Field& field = r.header().fields[f];
                        ASSERT_LE(field.offset + static_cast<std::size_t>(field.width), r.header().recordStride);
                        (void)r.value(rec, f);
                    }
            } catch (const Error& e) {
                EXPECT_TRUE(e.code() == ErrorCode::TableFormat) << at << ": " << e.what();
            }
        }
}
