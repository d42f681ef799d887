// SPDX-License-Identifier: MIT
// Purpose: writes dBase III tables: an empty table with its descriptors, then records appended one by one.
#include "formats/dbf_format.h"

#include "formats/error.h"

#include <ctime>
#include <limits>
#include <set>

namespace enlazio::dbf {
namespace {

void putLe16(std::uint8_t* p, std::size_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void putLe32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Date of last update: year since 1900, month, day.
void putToday(std::uint8_t* p)
{
    std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    p[0] = static_cast<std::uint8_t>(local.tm_year);
    p[1] = static_cast<std::uint8_t>(local.tm_mon + 1);
    p[2] = static_cast<std::uint8_t>(local.tm_mday);
}

[[noreturn]] void throwBadLayout(const std::string& label, const std::string& detail)
{
    throw Error(ErrorCode::Internal, "No se puede crear la tabla " + label + ": " + detail);
}

void checkFields(const std::string& label, const std::vector<FieldDescriptor>& fields)
{
    if (fields.size() > kMaxFields)
        throwBadLayout(label, "tiene " + std::to_string(fields.size()) + " campos y se admiten "
                                  + std::to_string(kMaxFields));
    std::set<std::string> names;
    for (const FieldDescriptor& f : fields) {
        bool nameOk = !f.name.empty() && f.name.size() < kFieldNameSize;
        for (char c : f.name)
            nameOk = nameOk && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_');
        if (!nameOk)
            throwBadLayout(label, "el nombre de campo '" + f.name
                                      + "' no vale: de 1 a 10 letras ASCII, cifras o '_'");
        if (!names.insert(f.name).second)
            throwBadLayout(label, "el campo '" + f.name + "' está repetido");
        bool widthOk = false;
        switch (f.type) {
        case 'C': widthOk = f.width >= 1 && f.width <= kMaxTextWidth && f.decimals == 0; break;
        case 'N':
        case 'F':
            widthOk = f.width >= 1 && f.width <= kMaxNumberWidth && f.decimals >= 0
                && (f.decimals == 0 || f.decimals <= f.width - 2);
            break;
        case 'D': widthOk = f.width == 8 && f.decimals == 0; break;
        case 'L': widthOk = f.width == 1 && f.decimals == 0; break;
        default:
            throwBadLayout(label, "el campo '" + f.name + "' es de tipo '" + std::string(1, f.type)
                                      + "'; se escriben C, N, F, D y L");
        }
        if (!widthOk)
            throwBadLayout(label, "el campo '" + f.name + "' de tipo " + std::string(1, f.type) + " no puede medir "
                                      + std::to_string(f.width) + "," + std::to_string(f.decimals));
    }
}

} // namespace

void createFile(const std::filesystem::path& file, const std::vector<FieldDescriptor>& fields)
{
    createFile(file, fields, kAnsiLanguageDriver, osFileSystem());
}

void createFile(const std::filesystem::path& file, const std::vector<FieldDescriptor>& fields, std::uint8_t languageDriver)
{
    createFile(file, fields, languageDriver, osFileSystem());
}

void createFile(const std::filesystem::path& file, const std::vector<FieldDescriptor>& fields, std::uint8_t languageDriver,
                FileSystem& fs, std::string_view shownAs)
{
    const std::string label = shownAs.empty() ? file.string() : std::string(shownAs);
    checkFields(label, fields);

    const std::size_t headerLength = kHeaderSize + kFieldDescriptorSize * fields.size() + 1;
    std::size_t recordLength = 1;
    for (const FieldDescriptor& f : fields)
        recordLength += static_cast<std::size_t>(f.width);

    std::vector<std::uint8_t> bytes(headerLength + 1, 0);
    bytes[0] = kVersionDbase3;
    putToday(&bytes[1]);
    putLe32(&bytes[kRecordCountOffset], 0);
    putLe16(&bytes[kHeaderLengthOffset], headerLength);
    putLe16(&bytes[kRecordLengthOffset], recordLength);
    bytes[kLanguageDriverOffset] = languageDriver;
    std::size_t pos = kHeaderSize;
    for (const FieldDescriptor& f : fields) {
        std::copy(f.name.begin(), f.name.end(), bytes.begin() + static_cast<std::ptrdiff_t>(pos));
        bytes[pos + 11] = static_cast<std::uint8_t>(f.type);
        bytes[pos + 16] = static_cast<std::uint8_t>(f.width);
        bytes[pos + 17] = static_cast<std::uint8_t>(f.decimals);
        pos += kFieldDescriptorSize;
    }
    bytes[pos] = kHeaderTerminator;
    bytes[pos + 1] = kEndOfData;

    IoError error;
    auto stream = fs.open(file, OpenMode::Create, error);
    if (!stream)
        throw Error(ErrorCode::TableIo, "No se puede crear la tabla " + label + ": " + error.reason);
    if (!stream->writeAt(0, bytes.data(), bytes.size())) {
        std::string reason = stream->lastError();
        stream.reset();
        IoError ignored;
        fs.remove(file, ignored); // a header half written is no table
        throw Error(ErrorCode::TableIo, "No se puede escribir la tabla " + label + ": " + reason);
    }
}

Appender Appender::open(const std::filesystem::path& file)
{
    return open(file, osFileSystem());
}

Appender Appender::open(const std::filesystem::path& file, FileSystem& fs)
{
    const std::string label = file.string();
    Appender a;
    a.m_path = file;
    OpenedTable table = openTable(file, OpenMode::ReadWrite, true, std::nullopt, fs);
    a.m_stream = std::move(table.stream);
    a.m_header = std::move(table.header);
    if (a.m_header.version != kVersionDbase3 || a.m_header.recordStride != a.m_header.recordLength)
        throw Error(ErrorCode::TableFormat, "No se pueden añadir registros a la tabla " + label + " (versión "
                                                + versionName(a.m_header.version)
                                                + "): solo se escribe en tablas dBase III sin memo");
    return a;
}

Appender::Appender(Appender&&) noexcept = default;
Appender& Appender::operator=(Appender&&) noexcept = default;
Appender::~Appender() = default;

void Appender::append(std::string_view record)
{
    const std::string label = m_path.string();
    if (!m_stream)
        throw Error(ErrorCode::Internal, "La tabla " + label + " no está abierta");
    if (record.size() != m_header.recordStride)
        throw Error(ErrorCode::Internal, "Registro de " + std::to_string(record.size()) + " bytes para la tabla "
                                             + label + ", que los tiene de " + std::to_string(m_header.recordStride));
    const std::uint32_t number = m_header.recordCount + 1;
    if (number == 0)
        throw Error(ErrorCode::TableIo, "La tabla " + label + " no admite más registros");
    if (!store(record, 1)) {
        Error error(ErrorCode::TableIo, "No se puede escribir el registro " + std::to_string(number) + " de la tabla "
                                            + label + ": " + m_stream->lastError());
        // A record written in part (a full disk) or not counted must not show to a reader
        // that goes by the end mark instead of the count: the mark goes back in its place.
        const char endOfData = static_cast<char>(kEndOfData);
        m_stream->writeAt(endOffset(), &endOfData, 1);
        throw error;
    }
}

void Appender::appendMany(std::string_view records)
{
    const std::size_t stride = m_header.recordStride;
    if (!m_stream)
        throw Error(ErrorCode::Internal, "La tabla " + m_path.string() + " no está abierta");
    if (stride == 0 || records.size() % stride != 0)
        throw Error(ErrorCode::Internal, std::to_string(records.size()) + " bytes no son registros enteros de la tabla "
                                             + m_path.string() + ", que los tiene de " + std::to_string(stride));
    const std::size_t count = records.size() / stride;
    if (count == 0)
        return;
    if (count <= std::numeric_limits<std::uint32_t>::max() - m_header.recordCount && store(records, count))
        return;
    // The header still counts the records before this run, so storing them one by one
    // over what was half written finds the record that fails, as appending each would.
    for (std::size_t i = 0; i < count; ++i)
        append(records.substr(i * stride, stride));
}

std::uint64_t Appender::endOffset() const
{
    return m_header.headerLength + static_cast<std::uint64_t>(m_header.recordCount) * m_header.recordStride;
}

bool Appender::store(std::string_view records, std::size_t count)
{
    // The records and the end mark go first and the count last: a run that stops in
    // between leaves the table as it was before these records.
    m_buffer.assign(records);
    m_buffer += static_cast<char>(kEndOfData);
    if (!m_stream->writeAt(endOffset(), m_buffer.data(), m_buffer.size()))
        return false;
    const auto number = static_cast<std::uint32_t>(m_header.recordCount + count);
    std::uint8_t dateAndCount[7];
    putToday(dateAndCount);
    putLe32(dateAndCount + 3, number);
    if (!m_stream->writeAt(1, dateAndCount, sizeof dateAndCount))
        return false;
    m_header.recordCount = number;
    return true;
}

} // namespace enlazio::dbf
