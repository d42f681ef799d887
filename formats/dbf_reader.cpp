// SPDX-License-Identifier: MIT
// Purpose: reads the dBase variants a timetable program may write: header checks, field layout, values.
#include "formats/dbf_format.h"

#include "formats/error.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace enlazio::dbf {

std::string hexByte(std::uint8_t value)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", value);
    return buf;
}

namespace {

Error readFailure(const std::string& label, const Stream& stream)
{
    return Error(ErrorCode::TableIo, "No se puede leer la tabla " + label + ": " + stream.lastError());
}

[[noreturn]] void throwFormat(const std::string& label, const std::string& detail)
{
    throw Error(ErrorCode::TableFormat, "La tabla " + label + " no es válida: " + detail);
}

[[noreturn]] void throwTruncated(const std::string& label, const std::string& detail)
{
    throw Error(ErrorCode::TableFormat, "La tabla " + label + " está truncada: " + detail);
}

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

std::uint32_t le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8
        | static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint64_t le64(const std::uint8_t* p)
{
    return static_cast<std::uint64_t>(le32(p)) | static_cast<std::uint64_t>(le32(p + 4)) << 32;
}

std::uint32_t be32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[3]) | static_cast<std::uint32_t>(p[2]) << 8
        | static_cast<std::uint32_t>(p[1]) << 16 | static_cast<std::uint32_t>(p[0]) << 24;
}

std::uint64_t be64(const std::uint8_t* p)
{
    return static_cast<std::uint64_t>(be32(p)) << 32 | static_cast<std::uint64_t>(be32(p + 4));
}

double bitsToDouble(std::uint64_t bits)
{
    double d;
    static_assert(sizeof d == sizeof bits);
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// dBase 7 keeps doubles so that they sort as bytes: positives with the sign bit set,
// negatives with every bit inverted.
double level7Double(std::uint64_t stored)
{
    const std::uint64_t sign = 0x8000000000000000ull;
    return bitsToDouble((stored & sign) != 0 ? stored ^ sign : ~stored);
}

std::optional<Flavor> flavorOf(std::uint8_t version)
{
    switch (version) {
    case 0x03:
    case 0x83:
    case 0x8B:
    case 0xF5: return Flavor::Dbase;
    case 0x04:
    case 0x8C: return Flavor::Level7;
    case 0x30:
    case 0x31:
    case 0x32: return Flavor::VisualFoxPro;
    default: return std::nullopt;
    }
}

// Width a field of this type must have where it is stored in binary.
int binaryWidth(Flavor flavor, char type)
{
    if (flavor == Flavor::Level7) {
        switch (type) {
        case 'I':
        case '+': return 4;
        case 'O':
        case '@': return 8;
        default: return 0;
        }
    }
    if (flavor == Flavor::VisualFoxPro) {
        switch (type) {
        case 'I': return 4;
        case 'B':
        case 'O':
        case 'Y':
        case 'T': return 8;
        default: return 0;
        }
    }
    return 0;
}

bool allBytesAre(std::string_view s, char c)
{
    return std::all_of(s.begin(), s.end(), [c](char x) { return x == c; });
}

std::string_view trimBlanksAndNuls(std::string_view s)
{
    auto blank = [](char c) { return c == ' ' || c == '\0'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view trimTrailingBlanks(std::string_view s)
{
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.remove_suffix(1);
    return s;
}

// "-007.500" -> "-7.5"; digits only, with at most one '.'.
std::string canonicalDecimal(bool negative, std::string_view intDigits, std::string_view fracDigits)
{
    while (intDigits.size() > 1 && intDigits.front() == '0')
        intDigits.remove_prefix(1);
    if (intDigits.empty())
        intDigits = "0";
    while (!fracDigits.empty() && fracDigits.back() == '0')
        fracDigits.remove_suffix(1);
    std::string out;
    if (negative && !(intDigits == "0" && fracDigits.empty()))
        out += '-';
    out += intDigits;
    if (!fracDigits.empty()) {
        out += '.';
        out += fracDigits;
    }
    return out;
}

std::string canonicalDouble(double value)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "nan" : value < 0 ? "-inf" : "inf";
    // Shortest text that reads back as the same double, never with an exponent.
    char buf[400];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (ec != std::errc())
        return "nan";
    std::string_view text(buf, static_cast<std::size_t>(end - buf));
    bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    auto dot = text.find('.');
    return canonicalDecimal(negative, text.substr(0, dot),
                            dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1));
}

// Days since 1970-01-01 to a proleptic Gregorian date.
void civilFromDays(std::int64_t z, std::int64_t& y, int& m, int& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y += m <= 2;
}

std::optional<std::string> dateTimeText(std::int64_t daysSinceEpoch, std::int64_t milliseconds)
{
    std::int64_t seconds = (milliseconds + 500) / 1000;
    daysSinceEpoch += seconds / 86400;
    seconds %= 86400;
    std::int64_t y;
    int m, d;
    civilFromDays(daysSinceEpoch, y, m, d);
    if (y < 0 || y > 9999)
        return std::nullopt;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d %02d:%02d:%02d", static_cast<int>(y), m, d,
                  static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60));
    return std::string(buf);
}

Value makeValue(Value::Kind kind, std::string text)
{
    Value v;
    v.kind = kind;
    v.text = std::move(text);
    return v;
}

} // namespace

std::string versionName(std::uint8_t version)
{
    switch (version) {
    case 0x02: return "dBase II";
    case 0x03: return "dBase III+/IV sin memo";
    case 0x83: return "dBase III+ con memo";
    case 0x8B: return "dBase IV con memo";
    case 0x04: return "dBase 7 sin memo";
    case 0x8C: return "dBase 7 con memo";
    case 0x30: return "Visual FoxPro";
    case 0x31: return "Visual FoxPro con autoincremento";
    case 0x32: return "Visual FoxPro con varchar";
    case 0xF5: return "FoxPro 2 con memo";
    default: return "desconocida";
    }
}

CodePage codePageOf(std::uint8_t languageDriver, std::string_view level7DriverName)
{
    // Level 7 leaves byte 29 at 0 and names its driver instead ("DB437US0").
    if (languageDriver == 0) {
        if (level7DriverName.starts_with("DB437"))
            return CodePage::Ibm437;
        if (level7DriverName.starts_with("DB850"))
            return CodePage::Ibm850;
    }
    return codePageFromLanguageDriver(languageDriver);
}

Header parseHeader(const std::vector<std::uint8_t>& bytes, std::uint64_t fileSize,
                   const std::string& label, std::optional<CodePage> codePage)
{
    if (fileSize < kHeaderSize || bytes.size() < kHeaderSize)
        throwTruncated(label, "tiene " + std::to_string(fileSize)
                                  + " bytes, menos que los 32 de una cabecera dBase");
    Header h;
    h.version = bytes[0];
    if (h.version == 0x02)
        throwFormat(label, "es una tabla de dBase II (versión 0x02), que no se puede leer; se leen "
                           "dBase III+, IV, 5 y 7, FoxPro 2 y Visual FoxPro");
    auto flavor = flavorOf(h.version);
    if (!flavor)
        throwFormat(label, "la versión " + hexByte(h.version)
                               + " es desconocida; se leen 0x03, 0x83, 0x8B, 0x04, 0x8C, 0x30, 0x31, "
                                 "0x32 y 0xF5");
    h.flavor = *flavor;
    h.recordCount = le32(&bytes[kRecordCountOffset]);
    h.headerLength = le16(&bytes[kHeaderLengthOffset]);
    h.recordLength = le16(&bytes[kRecordLengthOffset]);
    h.languageDriver = bytes[kLanguageDriverOffset];

    const bool level7 = h.flavor == Flavor::Level7;
    const std::size_t base = level7 ? kLevel7HeaderSize : kHeaderSize;
    const std::size_t descriptorSize = level7 ? kLevel7FieldDescriptorSize : kFieldDescriptorSize;
    if (fileSize < base || bytes.size() < base)
        throwTruncated(label, "tiene " + std::to_string(fileSize) + " bytes, menos que los "
                                  + std::to_string(base) + " de su cabecera");
    if (h.headerLength < base)
        throwFormat(label, "la cabecera dice medir " + std::to_string(h.headerLength)
                               + " bytes, menos que los " + std::to_string(base) + " de su parte fija");
    if (h.headerLength > fileSize)
        throwTruncated(label, "la cabecera dice medir " + std::to_string(h.headerLength)
                                  + " bytes y el archivo tiene " + std::to_string(fileSize));
    if (bytes.size() < h.headerLength)
        throwTruncated(label, "no se pudo leer la cabecera entera");
    if (h.recordLength == 0)
        throwFormat(label, "la cabecera da a los registros una longitud de 0 bytes");

    if (level7) {
        const char* name = reinterpret_cast<const char*>(&bytes[kLevel7DriverNameOffset]);
        h.driverName.assign(name, strnlen(name, 32));
    }
    h.codePage = codePage ? *codePage : codePageOf(h.languageDriver, h.driverName);

    // Descriptors run up to the 0x0D terminator; a few writers leave it out, so the
    // header length bounds them as well. Visual FoxPro puts a 263-byte backlink after
    // the terminator, inside the header length.
    for (std::size_t pos = base; pos + descriptorSize <= h.headerLength; pos += descriptorSize) {
        const std::uint8_t* d = &bytes[pos];
        if (d[0] == kHeaderTerminator || d[0] == 0)
            break;
        Field f;
        const std::size_t nameSize = level7 ? kLevel7FieldNameSize : kFieldNameSize;
        const char* name = reinterpret_cast<const char*>(d);
        f.name.assign(name, strnlen(name, nameSize));
        if (level7) {
            f.type = static_cast<char>(d[32]);
            f.width = d[33];
            f.decimals = d[34];
        } else {
            f.type = static_cast<char>(d[11]);
            f.width = d[16];
            f.decimals = d[17];
            if (h.flavor == Flavor::VisualFoxPro)
                f.flags = d[18];
        }
        h.fields.push_back(std::move(f));
    }

    // FoxPro and Clipper keep character fields wider than 255 with the decimals byte as
    // the high byte of the width; Excel leaves a decimals byte that means nothing. Only
    // the header's record length tells the two apart.
    std::size_t plain = 1, extended = 1;
    for (const Field& f : h.fields) {
        plain += static_cast<std::size_t>(f.width);
        extended += static_cast<std::size_t>(f.width) + (f.type == 'C' && !level7 ? 256u * f.decimals : 0u);
    }
    if (extended != plain && extended == h.recordLength) {
        for (Field& f : h.fields)
            if (f.type == 'C') {
                f.width += 256 * f.decimals;
                f.decimals = 0;
            }
        plain = extended;
    }

    // Fields that fill less of a record than its length leave bytes that nobody reads: a
    // header length that cuts a field off, or a width made smaller, would shift every value.
    if (plain < h.recordLength)
        throwFormat(label, "la cabecera da a los registros " + std::to_string(h.recordLength)
                               + " bytes y sus campos solo ocupan " + std::to_string(plain));

    std::size_t offset = 1;
    for (Field& f : h.fields) {
        f.offset = offset;
        offset += static_cast<std::size_t>(f.width);
        const int binary = binaryWidth(h.flavor, f.type);
        if (binary != 0 && f.width != binary)
            // The name is bytes in the table's code page; the message is UTF-8.
            throwFormat(label, "el campo '" + codePageToUtf8(f.name, h.codePage) + "' de tipo " + std::string(1, f.type) + " mide "
                                   + std::to_string(f.width) + " bytes y debe medir "
                                   + std::to_string(binary));
    }
    // Records are laid out by the field widths when the header's record length is too
    // short for them (a known writer's fault: off by one).
    h.recordStride = std::max<std::size_t>(h.recordLength, plain);

    const std::uint64_t needed =
        static_cast<std::uint64_t>(h.headerLength) + static_cast<std::uint64_t>(h.recordCount) * h.recordStride;
    if (needed > fileSize)
        throwTruncated(label, "la cabecera indica " + std::to_string(h.recordCount) + " registros de "
                                  + std::to_string(h.recordStride) + " bytes tras " + std::to_string(h.headerLength)
                                  + " bytes de cabecera, " + std::to_string(needed) + " bytes en total, y el archivo tiene "
                                  + std::to_string(fileSize));

    if (h.flavor == Flavor::VisualFoxPro) {
        for (std::size_t i = 0; i < h.fields.size(); ++i)
            if (h.fields[i].type == '0' && h.fields[i].name == "_NullFlags")
                h.nullFlagsField = static_cast<int>(i);
        if (h.nullFlagsField >= 0) {
            const int bits = 8 * h.fields[static_cast<std::size_t>(h.nullFlagsField)].width;
            int next = 0;
            for (Field& f : h.fields) {
                if ((f.type == 'V' || f.type == 'Q') && next < bits)
                    f.lengthBit = next++;
                if ((f.flags & 0x02) != 0 && next < bits)
                    f.nullBit = next++;
            }
        }
    }
    return h;
}

std::optional<std::string> parseNumberText(std::string_view raw, bool& invalid)
{
    invalid = false;
    std::string_view s = trimBlanksAndNuls(raw);
    if (s.empty() || allBytesAre(s, '*'))
        return std::nullopt;
    std::string_view body = s;
    bool negative = false;
    if (body.front() == '+' || body.front() == '-') {
        negative = body.front() == '-';
        body.remove_prefix(1);
    }
    std::size_t i = 0;
    while (i < body.size() && body[i] >= '0' && body[i] <= '9')
        ++i;
    std::string_view intDigits = body.substr(0, i);
    std::string_view fracDigits;
    if (i < body.size() && body[i] == '.') {
        std::size_t j = i + 1;
        while (j < body.size() && body[j] >= '0' && body[j] <= '9')
            ++j;
        fracDigits = body.substr(i + 1, j - i - 1);
        i = j;
    }
    if (intDigits.empty() && fracDigits.empty()) {
        invalid = true;
        return std::string(s);
    }
    if (i == body.size())
        return canonicalDecimal(negative, intDigits, fracDigits);
    if (body[i] == 'e' || body[i] == 'E') {
        // A float field may hold scientific notation; it goes through a double.
        double value = 0;
        auto start = s.data() + (s.front() == '+' ? 1 : 0);
        auto [end, ec] = std::from_chars(start, s.data() + s.size(), value);
        if (ec == std::errc() && end == s.data() + s.size())
            return canonicalDouble(value);
    }
    invalid = true;
    return std::string(s);
}

std::optional<std::int64_t> roundHalfEven(std::string_view decimal)
{
    bool negative = false;
    if (!decimal.empty() && (decimal.front() == '-' || decimal.front() == '+')) {
        negative = decimal.front() == '-';
        decimal.remove_prefix(1);
    }
    auto dot = decimal.find('.');
    std::string_view intDigits = decimal.substr(0, dot);
    std::string_view frac = dot == std::string_view::npos ? std::string_view() : decimal.substr(dot + 1);
    if (intDigits.empty() && frac.empty())
        return std::nullopt;
    std::uint64_t magnitude = 0;
    for (char c : intDigits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        if (magnitude > (UINT64_MAX - 9) / 10)
            return std::nullopt;
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
    }
    for (char c : frac)
        if (c < '0' || c > '9')
            return std::nullopt;
    bool up = false;
    if (!frac.empty()) {
        if (frac[0] > '5')
            up = true;
        else if (frac[0] == '5')
            up = frac.find_first_not_of('0', 1) != std::string_view::npos || (magnitude % 2) == 1;
    }
    if (up)
        ++magnitude;
    const std::uint64_t limit = negative ? static_cast<std::uint64_t>(INT64_MAX) + 1 : INT64_MAX;
    if (magnitude > limit)
        return std::nullopt;
    if (negative)
        return magnitude == limit ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
    return static_cast<std::int64_t>(magnitude);
}

Reader Reader::open(const std::filesystem::path& file)
{
    return open(file, Options {}, osFileSystem());
}

Reader Reader::open(const std::filesystem::path& file, std::optional<CodePage> codePage)
{
    Options options;
    options.codePage = codePage;
    return open(file, options, osFileSystem());
}

OpenedTable openTable(const std::filesystem::path& file, OpenMode mode, bool lock, std::optional<CodePage> codePage,
                      FileSystem& fs)
{
    const std::string label = file.string();
    OpenedTable table;
    IoError error;
    table.stream = fs.open(file, mode, error);
    if (!table.stream) {
        if (error.notFound)
            throw Error(ErrorCode::FileNotFound, "No existe la tabla " + label);
        throw Error(ErrorCode::TableIo, "No se puede abrir la tabla " + label + ": " + error.reason);
    }
    if (lock && !table.stream->tryLockExclusive())
        throw Error(ErrorCode::TableLocked, "La tabla " + label + " está abierta en otro programa");
    auto readFailed = [&] { return readFailure(label, *table.stream); };

    const auto size = table.stream->size();
    if (!size)
        throw readFailed();
    table.size = *size;
    std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::uint64_t>(*size, kLevel7HeaderSize)));
    if (!table.stream->readAt(0, head.data(), head.size()))
        throw readFailed();
    if (head.size() >= kHeaderSize) {
        const std::size_t headerLength = le16(&head[kHeaderLengthOffset]);
        if (headerLength > head.size() && headerLength <= *size) {
            head.resize(headerLength);
            if (!table.stream->readAt(0, head.data(), head.size()))
                throw readFailed();
        }
    }
    table.header = parseHeader(head, *size, label, codePage);
    return table;
}

Reader Reader::open(const std::filesystem::path& file, const Options& options, FileSystem& fs)
{
    const std::string label = file.string();
    Reader r;
    r.m_path = file;
    OpenedTable table = openTable(file, OpenMode::Read, options.exclusive, options.codePage, fs);
    r.m_stream = std::move(table.stream);
    r.m_header = std::move(table.header);
    const std::uint64_t size = table.size;
    auto readFailed = [&] { return readFailure(label, *r.m_stream); };

    r.m_records.resize(static_cast<std::size_t>(r.m_header.recordCount) * r.m_header.recordStride);
    if (!r.m_records.empty() && !r.m_stream->readAt(r.m_header.headerLength, r.m_records.data(), r.m_records.size()))
        throw readFailed();
    // A header that counts fewer records than the file holds would hide the others: a whole
    // record after the counted ones (not the end mark) is refused rather than left unread.
    const std::uint64_t end = r.m_header.headerLength + static_cast<std::uint64_t>(r.m_records.size());
    if (size - end >= r.m_header.recordStride) {
        std::uint8_t flag = 0;
        if (!r.m_stream->readAt(end, &flag, 1))
            throw readFailed();
        if (flag == static_cast<std::uint8_t>(kLiveFlag) || flag == static_cast<std::uint8_t>(kDeletedFlag))
            throwFormat(label, "la cabecera indica " + std::to_string(r.m_header.recordCount)
                                   + " registros y el archivo guarda más tras ellos");
    }
    if (!options.exclusive)
        r.m_stream.reset();
    return r;
}

Reader::Reader(Reader&&) noexcept = default;
Reader& Reader::operator=(Reader&&) noexcept = default;
Reader::~Reader() = default;

const std::uint8_t* Reader::recordData(std::size_t record) const
{
    return m_records.data() + record * m_header.recordStride;
}

bool Reader::isDeleted(std::size_t record) const
{
    return record < recordCount() && recordData(record)[0] == static_cast<std::uint8_t>(kDeletedFlag);
}

std::string_view Reader::rawField(std::size_t record, std::size_t field) const
{
    if (record >= recordCount() || field >= m_header.fields.size())
        return {};
    const Field& f = m_header.fields[field];
    return {reinterpret_cast<const char*>(recordData(record)) + f.offset, static_cast<std::size_t>(f.width)};
}

std::optional<std::size_t> Reader::fieldIndex(std::string_view name) const
{
    for (std::size_t i = 0; i < m_header.fields.size(); ++i)
        if (m_header.fields[i].name == name)
            return i;
    return std::nullopt;
}

Value Reader::value(std::size_t record, std::size_t field) const
{
    if (record >= recordCount() || field >= m_header.fields.size())
        return {};
    const Field& f = m_header.fields[field];
    const std::string_view raw = rawField(record, field);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(raw.data());
    const Flavor flavor = m_header.flavor;

    std::uint64_t nullFlags = 0;
    if (m_header.nullFlagsField >= 0) {
        std::string_view flags = rawField(record, static_cast<std::size_t>(m_header.nullFlagsField));
        for (std::size_t i = 0; i < flags.size() && i < 8; ++i)
            nullFlags |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(flags[i])) << (8 * i);
    }
    auto bitSet = [&](int bit) { return bit >= 0 && bit < 64 && ((nullFlags >> bit) & 1u) != 0; };
    if (bitSet(f.nullBit))
        return {};

    auto textValue = [](std::string_view s) {
        s = trimTrailingBlanks(s);
        return s.empty() ? Value {} : makeValue(Value::Kind::Text, std::string(s));
    };
    auto allZero = [&] { return std::all_of(bytes, bytes + raw.size(), [](std::uint8_t b) { return b == 0; }); };

    switch (f.type) {
    case 'C': return textValue(raw);
    case 'V':
        if (flavor == Flavor::VisualFoxPro && bitSet(f.lengthBit) && !raw.empty()) {
            std::size_t length = std::min<std::size_t>(bytes[raw.size() - 1], raw.size() - 1);
            return textValue(raw.substr(0, length));
        }
        return textValue(raw);
    case 'N':
    case 'F': {
        bool invalid = false;
        auto number = parseNumberText(raw, invalid);
        if (!number)
            return {};
        return makeValue(invalid ? Value::Kind::Text : Value::Kind::Number, std::move(*number));
    }
    case 'D': {
        std::string_view s = trimBlanksAndNuls(raw);
        if (s.empty() || allBytesAre(s, '0'))
            return {};
        bool digits = s.size() == 8 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
        return makeValue(digits ? Value::Kind::Date : Value::Kind::Text, std::string(s));
    }
    case 'L':
        switch (raw.empty() ? ' ' : raw[0]) {
        case 'T':
        case 't':
        case 'Y':
        case 'y': return makeValue(Value::Kind::Logical, "T");
        case 'F':
        case 'f':
        case 'N':
        case 'n': return makeValue(Value::Kind::Logical, "F");
        default: return {};
        }
    case 'M':
    case 'G':
    case 'P':
    case 'W':
    case 'Q':
    case '0':
        return {}; // memo, picture, blob and system fields: their data is not in the record
    default: break;
    }

    if (flavor == Flavor::Level7) {
        // dBase 7 stores a null binary field as zero bytes, and flips the sign bit so
        // that numbers sort as bytes.
        if (allZero())
            return {};
        switch (f.type) {
        case 'I':
        case '+': {
            auto v = static_cast<std::int32_t>(be32(bytes) ^ 0x80000000u);
            return makeValue(Value::Kind::Number, std::to_string(v));
        }
        case 'O': return makeValue(Value::Kind::Number, canonicalDouble(level7Double(be64(bytes))));
        case '@': {
            double ms = bitsToDouble(be64(bytes));
            // Beyond some ten thousand years the day count would not even fit an integer.
            if (!std::isfinite(ms) || std::fabs(ms) / 86400000.0 > 4e6)
                return {};
            // Milliseconds since 0001-01-01 counted from day 1.
            const double days = std::floor(ms / 86400000.0);
            auto text = dateTimeText(static_cast<std::int64_t>(days) - 719163,
                                     static_cast<std::int64_t>(ms - days * 86400000.0));
            return text ? makeValue(Value::Kind::DateTime, *text) : Value {};
        }
        default: break;
        }
    } else if (flavor == Flavor::VisualFoxPro) {
        switch (f.type) {
        case 'I': return makeValue(Value::Kind::Number, std::to_string(static_cast<std::int32_t>(le32(bytes))));
        case 'B': return makeValue(Value::Kind::Number, canonicalDouble(bitsToDouble(le64(bytes))));
        case 'O': {
            // Not a FoxPro type: some writers borrow it from dBase 7, so it is read that way.
            if (allZero())
                return {};
            return makeValue(Value::Kind::Number, canonicalDouble(level7Double(be64(bytes))));
        }
        case 'Y': {
            auto v = static_cast<std::int64_t>(le64(bytes));
            std::uint64_t magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
            std::string frac = std::to_string(magnitude % 10000);
            frac.insert(0, 4 - frac.size(), '0');
            return makeValue(Value::Kind::Number,
                             canonicalDecimal(v < 0, std::to_string(magnitude / 10000), frac));
        }
        case 'T': {
            if (allZero())
                return {};
            // Julian day number and milliseconds since midnight.
            auto text = dateTimeText(static_cast<std::int64_t>(static_cast<std::int32_t>(le32(bytes))) - 2440588,
                                     static_cast<std::int32_t>(le32(bytes + 4)));
            return text ? makeValue(Value::Kind::DateTime, *text) : Value {};
        }
        default: break;
        }
    }
    if (f.type == 'B') // dBase IV and 7: a binary memo
        return {};
    return textValue(raw);
}

} // namespace enlazio::dbf
