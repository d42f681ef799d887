// SPDX-License-Identifier: MIT
// Purpose: the dBase file format itself: limits, header, field values, and a reader and writer in layers.
#pragma once

#include "formats/codepage.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace enlazio::dbf {

// Format limits and fixed positions, defined once.
inline constexpr std::size_t kHeaderSize = 32;
inline constexpr std::size_t kFieldDescriptorSize = 32;
inline constexpr std::size_t kFieldNameSize = 11; // ten characters and a NUL
inline constexpr std::size_t kLevel7HeaderSize = 68;
inline constexpr std::size_t kLevel7FieldDescriptorSize = 48;
inline constexpr std::size_t kLevel7FieldNameSize = 32;
inline constexpr std::size_t kLevel7DriverNameOffset = 32;
inline constexpr std::size_t kRecordCountOffset = 4;
inline constexpr std::size_t kHeaderLengthOffset = 8;
inline constexpr std::size_t kRecordLengthOffset = 10;
inline constexpr std::size_t kLanguageDriverOffset = 29;
inline constexpr int kMaxFieldWidth = 255;
inline constexpr int kMaxTextWidth = 254;
inline constexpr int kMaxNumberWidth = 20;
inline constexpr std::size_t kMaxFields = 255;
inline constexpr std::uint8_t kHeaderTerminator = 0x0D;
inline constexpr std::uint8_t kEndOfData = 0x1A;
inline constexpr char kLiveFlag = ' ';
inline constexpr char kDeletedFlag = '*';

// What our writer produces for the logical types of the tables.
inline constexpr std::uint8_t kVersionDbase3 = 0x03;
inline constexpr int kIntegerWidth = 11;
inline constexpr int kFloatWidth = 20;
inline constexpr int kFloatDecimals = 4;

// The family a version byte belongs to; it decides the header layout and the binary types.
enum class Flavor {
    Dbase,        // 0x03, 0x83, 0x8B and FoxPro 2 (0xF5): 32-byte header and descriptors
    Level7,       // 0x04, 0x8C: 68-byte header, 48-byte descriptors, big-endian binary fields
    VisualFoxPro, // 0x30, 0x31, 0x32: little-endian binary fields, _NullFlags
};

struct Field {
    std::string name; // bytes as stored, up to the first NUL, in the table's code page
    char type = 'C';
    int width = 0;
    int decimals = 0;
    std::size_t offset = 0; // within the record; byte 0 is the deletion flag
    std::uint8_t flags = 0; // Visual FoxPro: 0x01 system, 0x02 nullable, 0x04 binary
    int nullBit = -1;       // Visual FoxPro: bit in _NullFlags set when the value is null
    int lengthBit = -1;     // Visual FoxPro varchar: bit set when the last byte holds the length
};

struct Header {
    std::uint8_t version = 0;
    Flavor flavor = Flavor::Dbase;
    std::uint8_t languageDriver = 0; // byte 29
    std::string driverName;          // level 7 only: "DBWINUS0", "DB437US0", ...
    CodePage codePage = kAnsiCodePage;
    std::uint32_t recordCount = 0;
    std::uint16_t headerLength = 0;
    std::uint16_t recordLength = 0; // as the header says
    std::size_t recordStride = 0;   // distance between records in the file, at least recordLength
    std::vector<Field> fields;
    int nullFlagsField = -1; // index of the _NullFlags field, -1 when none
};

// "dBase III+ sin memo", "dBase 7 con memo", ... for messages and the viewer.
std::string versionName(std::uint8_t version);

// A header byte as "0x1F", for messages and the viewer.
std::string hexByte(std::uint8_t value);

// Code page of a table: the language-driver byte, or for level 7 (whose byte is 0)
// the language-driver name; unknown drivers read as Windows-1252.
CodePage codePageOf(std::uint8_t languageDriver, std::string_view level7DriverName);

// Parses the header and field descriptors. headerBytes holds at least the start of the
// file (the header length when the file has that many bytes); fileSize is the whole
// file's size, so that a header promising more than the file holds is refused.
// Throws Error(TableFormat) naming fileLabel.
Header parseHeader(const std::vector<std::uint8_t>& headerBytes, std::uint64_t fileSize,
                   const std::string& fileLabel, std::optional<CodePage> codePage = std::nullopt);

// The I/O seam: the operating system by default; tests inject memory files and failing writes.

enum class OpenMode { Read, ReadWrite, Create };

struct IoError {
    std::string reason; // the operating system's words
    bool notFound = false;
};

class Stream {
public:
    virtual ~Stream() = default;
    virtual std::optional<std::uint64_t> size() = 0;
    // All or nothing: false on an error or a short transfer; lastError() then says why.
    virtual bool readAt(std::uint64_t offset, void* data, std::size_t size) = 0;
    virtual bool writeAt(std::uint64_t offset, const void* data, std::size_t size) = 0;
    // Exclusive advisory lock held until the stream is destroyed; false when another
    // handle (of this or another process) holds it.
    virtual bool tryLockExclusive() = 0;
    virtual std::string lastError() const = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // nullptr on failure, with the reason in error.
    virtual std::unique_ptr<Stream> open(const std::filesystem::path& path, OpenMode mode,
                                         IoError& error) = 0;
    // True when the file is gone afterwards (a missing file counts as removed).
    virtual bool remove(const std::filesystem::path& path, IoError& error) = 0;
};

FileSystem& osFileSystem();

// A table file opened, locked when asked, and its header read and checked: how the reader
// and the appender both start. Throws Error(FileNotFound), (TableIo), (TableLocked) or
// (TableFormat), naming the file.
struct OpenedTable {
    std::unique_ptr<Stream> stream;
    Header header;
    std::uint64_t size = 0;
};
OpenedTable openTable(const std::filesystem::path& file, OpenMode mode, bool lock,
                      std::optional<CodePage> codePage, FileSystem& fs);

struct Value {
    enum class Kind { Empty, Text, Number, Logical, Date, DateTime };
    Kind kind = Kind::Empty;
    // Text: the stored bytes in the table's code page, without trailing blanks.
    // Number: decimal text without exponent, leading zeros or trailing fraction zeros ("-12.5").
    // Logical: "T" or "F". Date: "YYYYMMDD". DateTime: "YYYYMMDD HH:MM:SS".
    std::string text;
};

// Canonical decimal text of a number field's bytes; nullopt for empty (blanks, NULs or
// '*' fill). A text that is not a number comes back in invalid.
std::optional<std::string> parseNumberText(std::string_view raw, bool& invalid);
// Rounds canonical decimal text to a whole number, a half going to the even neighbour;
// nullopt when the text is not a number or the result is outside 64 bits.
std::optional<std::int64_t> roundHalfEven(std::string_view decimal);

class Reader {
public:
    struct Options {
        std::optional<CodePage> codePage; // overrides the table's own
        bool exclusive = false;           // take the advisory lock, fail when it is taken
    };

    static Reader open(const std::filesystem::path& file);
    static Reader open(const std::filesystem::path& file, std::optional<CodePage> codePage);
    static Reader open(const std::filesystem::path& file, const Options& options, FileSystem& fs);

    Reader(Reader&&) noexcept;
    Reader& operator=(Reader&&) noexcept;
    ~Reader();

    const Header& header() const { return m_header; }
    const std::filesystem::path& path() const { return m_path; }
    std::size_t recordCount() const { return m_header.recordCount; } // deleted ones included
    bool isDeleted(std::size_t record) const;
    std::string_view rawField(std::size_t record, std::size_t field) const;
    Value value(std::size_t record, std::size_t field) const;
    std::optional<std::size_t> fieldIndex(std::string_view name) const; // exact, first match

private:
    Reader() = default;
    const std::uint8_t* recordData(std::size_t record) const;

    std::filesystem::path m_path;
    Header m_header;
    std::vector<std::uint8_t> m_records;
    std::unique_ptr<Stream> m_stream; // kept open while the lock is held
};

struct FieldDescriptor {
    std::string name; // 1 to 10 characters: letters, digits, '_'
    char type = 'C';  // C, N, F, D or L
    int width = 0;
    int decimals = 0;
};

// Writes an empty table: the header, the descriptors, 0x0D and 0x1A. Messages name the
// table as `label`, by default the file (a table written under a temporary name gives the
// name it will have).
void createFile(const std::filesystem::path& file, const std::vector<FieldDescriptor>& fields);
void createFile(const std::filesystem::path& file, const std::vector<FieldDescriptor>& fields,
                std::uint8_t languageDriver);
void createFile(const std::filesystem::path& file, const std::vector<FieldDescriptor>& fields,
                std::uint8_t languageDriver, FileSystem& fs, std::string_view label = {});

// Appends records to a table that createFile made, holding its advisory lock. Each
// append writes the record and the end mark, then the header's date and record count,
// so the file is a valid table after every record. appendMany does the same for a run
// of records with two writes in all; should they fail, it stores the records one by one
// as append does, so that a failure leaves exactly the records before the failing one.
class Appender {
public:
    static Appender open(const std::filesystem::path& file);
    static Appender open(const std::filesystem::path& file, FileSystem& fs);

    Appender(Appender&&) noexcept;
    Appender& operator=(Appender&&) noexcept;
    ~Appender();

    const Header& header() const { return m_header; }
    std::size_t recordCount() const { return m_header.recordCount; }
    // record holds recordStride bytes, deletion flag first.
    void append(std::string_view record);
    // records holds whole records one after another.
    void appendMany(std::string_view records);

private:
    Appender() = default;
    bool store(std::string_view records, std::size_t count); // false when a write fails
    std::uint64_t endOffset() const;                         // where the next record goes

    std::filesystem::path m_path;
    Header m_header;
    std::unique_ptr<Stream> m_stream;
    std::string m_buffer; // the records and the end mark, reused from append to append
};

} // namespace enlazio::dbf
