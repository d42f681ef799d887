// SPDX-License-Identifier: MIT
// Purpose: the exchange tables as the conversions and the import see them: create, append, walk, filter, look up.
#include "formats/dbf_table.h"

#include "formats/dbf_format.h"
#include "formats/error.h"
#include "formats/int_conversion.h"
#include "formats/win_path.h"

#include <cerrno>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <unistd.h>
#include <unordered_map>

namespace fs = std::filesystem;

namespace enlazio {
namespace {

// "ASIGNOMT" and "ASIGNOMT.DBF" both name the table ASIGNOMT.
std::string baseName(std::string_view name)
{
    if (name.size() > 4 && equalsIgnoringAsciiCase(name.substr(name.size() - 4), ".DBF"))
        name.remove_suffix(4);
    return std::string(name);
}

std::string fromTableText(std::string text, CodePage cp)
{
    return cp == kAnsiCodePage ? text : recode(text, cp, kAnsiCodePage);
}

std::string_view trimLeadingBlanks(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    return s;
}

// The platform's text-to-float conversion: blanks around, '.' or ',' as the separator.
std::optional<double> parseFloatText(std::string_view ansi)
{
    std::string s(trimLeadingBlanks(ansi));
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    for (char& c : s)
        if (c == ',')
            c = '.';
    if (!s.empty() && s.front() == '+')
        s.erase(0, 1);
    double value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return value;
}

[[noreturn]] void throwNotFloat(std::string_view ansi)
{
    throw Error(ErrorCode::InvalidInteger,
                "'" + codePageToUtf8(ansi) + "' no es un valor de coma flotante válido");
}

double numberToDouble(const std::string& canonical)
{
    double value = 0;
    std::from_chars(canonical.data(), canonical.data() + canonical.size(), value);
    return value;
}

// A number field as our writer leaves it, "  -12.5000": blanks, an optional minus, digits
// and an optional fraction. Read directly, it gives the double its canonical text would
// (a zero without its sign, as that text has none); anything else gives nullopt.
std::optional<double> plainDecimal(std::string_view raw)
{
    while (!raw.empty() && raw.front() == ' ')
        raw.remove_prefix(1);
    while (!raw.empty() && raw.back() == ' ')
        raw.remove_suffix(1);
    std::size_t i = !raw.empty() && raw.front() == '-' ? 1 : 0;
    const std::size_t intStart = i;
    while (i < raw.size() && raw[i] >= '0' && raw[i] <= '9')
        ++i;
    if (i == intStart)
        return std::nullopt;
    if (i < raw.size() && raw[i] == '.') {
        const std::size_t fracStart = ++i;
        while (i < raw.size() && raw[i] >= '0' && raw[i] <= '9')
            ++i;
        if (i == fracStart)
            return std::nullopt;
    }
    if (i != raw.size())
        return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(raw.data(), raw.data() + raw.size(), value);
    if (ec != std::errc() || end != raw.data() + raw.size())
        return std::nullopt;
    return value == 0 ? 0.0 : value;
}

// "3:MAT2:1A": lengths keep ("MA", "T1A") and ("MAT", "1A") apart.
template <typename Texts>
std::string keyOf(const Texts& texts)
{
    std::string key;
    for (std::string_view t : texts) {
        key += std::to_string(t.size());
        key += ':';
        key += t;
    }
    return key;
}

} // namespace

void createTable(const fs::path& folder, std::string_view name, const TableLayout& layout)
{
    const std::string base = baseName(name);
    const fs::path target = folder / (base + ".DBF");
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        throw Error(ErrorCode::TableIo,
                    "No se puede crear la tabla " + target.string() + ": no existe la carpeta " + folder.string());

    std::vector<dbf::FieldDescriptor> descriptors;
    for (const FieldDef& f : layout) {
        switch (f.type) {
        case FieldType::Text: descriptors.push_back({f.name, 'C', f.size, 0}); break;
        case FieldType::Integer: descriptors.push_back({f.name, 'N', dbf::kIntegerWidth, 0}); break;
        case FieldType::Float: descriptors.push_back({f.name, 'N', dbf::kFloatWidth, dbf::kFloatDecimals}); break;
        }
    }

    // Every spelling of NAME.DBF and NAME.MDX is the same file to the timetable program.
    std::vector<fs::path> tables, indexes;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (equalsIgnoringAsciiCase(entry, base + ".DBF"))
            tables.push_back(it->path());
        else if (equalsIgnoringAsciiCase(entry, base + ".MDX"))
            indexes.push_back(it->path());
    }
    if (ec)
        throw Error(ErrorCode::TableIo, "No se puede leer la carpeta " + folder.string() + ": " + ec.message());

    // A table file made read-only stays as it is, as the timetable program's engine would
    // leave it, rather than be deleted (the folder's permission would allow that).
    for (const fs::path& table : tables) {
        if (::faccessat(AT_FDCWD, table.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES)
            throw Error(ErrorCode::TableIo, "No se puede crear la tabla " + target.string() + ": " + table.string()
                                                + " es de solo lectura");
    }
    dbf::FileSystem& io = dbf::osFileSystem();
    std::vector<std::unique_ptr<dbf::Stream>> held;
    for (const fs::path& table : tables) {
        dbf::IoError error;
        if (auto stream = io.open(table, dbf::OpenMode::Read, error)) {
            if (!stream->tryLockExclusive())
                throw Error(ErrorCode::TableLocked, "No se puede crear la tabla " + target.string() + ": "
                                                        + table.string() + " está abierta en otro programa");
            held.push_back(std::move(stream));
        }
    }
    // The new table is written beside the old one first, so that a table that cannot be
    // written (a full disk) leaves the old one as it was instead of nothing.
    const fs::path fresh = folder / ("." + base + ".DBF." + std::to_string(::getpid()) + ".nueva");
    dbf::createFile(fresh, descriptors, kAnsiLanguageDriver, io, target.string());
    try {
        for (const auto& group : {tables, indexes})
            for (const fs::path& file : group) {
                dbf::IoError error;
                if (!io.remove(file, error))
                    throw Error(ErrorCode::TableIo, "No se puede borrar " + file.string() + ": " + error.reason);
            }
        fs::rename(fresh, target, ec);
        if (ec)
            throw Error(ErrorCode::TableIo, "No se puede crear la tabla " + target.string() + ": " + ec.message());
    } catch (...) {
        dbf::IoError ignored;
        io.remove(fresh, ignored);
        throw;
    }
}

std::string filterText(std::string_view field, std::string_view ansiValue)
{
    std::string text(field);
    text += "= '";
    for (char c : ansiValue) {
        text += c;
        if (c == '\'')
            text += '\'';
    }
    text += '\'';
    return text;
}


struct TableWriter::Impl {
    // Posted records wait here and are stored a run at a time: two writes per run instead
    // of two per record. The header counts what is stored, so the table stays valid.
    static constexpr std::size_t kRunBytes = 64 * 1024;

    fs::path folder;
    std::string name;
    std::optional<dbf::Appender> appender;
    std::string record;
    std::string posted; // records posted and not yet stored
    bool editing = false;
    std::size_t count = 0;
    mutable std::size_t lastField = 0; // where the next search for a field by name starts
    bool uniqueNames = false;

    void storePosted()
    {
        if (posted.empty())
            return;
        // Cleared first: records that could not be stored are not tried again at close.
        const std::string run = std::move(posted);
        posted.clear();
        try {
            appender->appendMany(run);
        } catch (...) {
            count = appender->recordCount();
            throw;
        }
    }

    const dbf::Header& header() const { return appender->header(); }

    std::string label() const { return (folder / (name + ".DBF")).string(); }

    void requireRecord() const
    {
        if (!appender)
            throw Error(ErrorCode::Internal, "La tabla " + label() + " no está abierta");
        if (!editing)
            throw Error(ErrorCode::Internal, "La tabla " + label() + " no tiene un registro en curso");
    }

    const dbf::Field& field(std::string_view fieldName) const
    {
        requireRecord();
        // Conversions set the fields of every record in the same order, or read back the
        // one just set, so the search starts at the field found last and mostly ends at
        // its first or second try. (Only when names are unique: otherwise the first of
        // them must answer.)
        const std::vector<dbf::Field>& fields = header().fields;
        const std::size_t start = uniqueNames ? lastField : 0;
        for (std::size_t k = 0; k < fields.size(); ++k) {
            const std::size_t i = (start + k) % fields.size();
            const std::string& name = fields[i].name;
            if (name.size() == fieldName.size() && std::memcmp(name.data(), fieldName.data(), name.size()) == 0) {
                lastField = i;
                return fields[i];
            }
        }
        throw Error(ErrorCode::FieldNotFound, name + ": No se encuentra el campo '" + std::string(fieldName) + "'");
    }

    void store(const dbf::Field& f, std::string_view bytes)
    {
        const auto width = static_cast<std::size_t>(f.width);
        const std::size_t cut = std::min(bytes.size(), width);
        char* field = record.data() + f.offset;
        if (cut != 0) // an empty view may carry no pointer at all, which memcpy must not get
            std::memcpy(field, bytes.data(), cut);
        std::memset(field + cut, ' ', width - cut);
    }

    void storeNumber(const dbf::Field& f, double value)
    {
        // Right-aligned fixed notation, as printf's "%*.*f" gives it (to_chars is specified
        // to give printf's digits), without the cost of printf.
        char buf[400];
        int n = -1;
        if (std::isfinite(value)) {
            auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, f.decimals);
            if (ec == std::errc())
                n = static_cast<int>(end - buf);
        }
        if (n < 0 || n > f.width) {
            std::snprintf(buf, sizeof buf, "%g", value);
            throw Error(ErrorCode::TableIo, "El valor " + std::string(buf) + " no cabe en el campo " + f.name + " (N "
                                                + std::to_string(f.width) + "," + std::to_string(f.decimals)
                                                + ") de la tabla " + label());
        }
        const auto padding = static_cast<std::size_t>(f.width - n);
        char* field = record.data() + f.offset;
        std::memset(field, ' ', padding);
        std::memcpy(field + padding, buf, static_cast<std::size_t>(n));
    }
};

TableWriter::TableWriter(fs::path folder, std::string name) : m_impl(std::make_unique<Impl>())
{
    m_impl->folder = std::move(folder);
    m_impl->name = baseName(name);
}

TableWriter::~TableWriter()
{
    try {
        close();
    } catch (...) {
        // Leaving by an error (or without close): the records posted are stored if they
        // can be; a failure here must not hide the error that is leaving.
        m_impl->appender.reset();
    }
}

void TableWriter::open()
{
    if (m_impl->appender)
        return;
    const std::string fileName = m_impl->name + ".DBF";
    auto found = findCaseInsensitive(m_impl->folder, fileName);
    if (!found)
        throw Error(ErrorCode::FileNotFound, "No existe la tabla " + m_impl->label());
    m_impl->appender = dbf::Appender::open(*found);
    m_impl->count = m_impl->appender->recordCount();
    m_impl->posted.reserve(Impl::kRunBytes + m_impl->appender->header().recordStride);
    std::set<std::string_view> names;
    for (const dbf::Field& f : m_impl->appender->header().fields)
        names.insert(f.name);
    m_impl->uniqueNames = names.size() == m_impl->appender->header().fields.size();
    m_impl->lastField = 0;
}

void TableWriter::append()
{
    if (!m_impl->appender)
        throw Error(ErrorCode::Internal, "La tabla " + m_impl->label() + " no está abierta");
    if (m_impl->editing)
        post(); // appending again stores the record in hand first, as the engine does
    m_impl->record.assign(m_impl->header().recordStride, ' ');
    m_impl->record[0] = dbf::kLiveFlag;
    m_impl->editing = true;
}

void TableWriter::setText(std::string_view field, std::string_view ansiText)
{
    const dbf::Field& f = m_impl->field(field);
    if (f.type == 'N' || f.type == 'F') {
        if (trimLeadingBlanks(ansiText).empty()) {
            m_impl->store(f, "");
            return;
        }
        auto value = parseFloatText(ansiText);
        if (!value)
            throwNotFloat(ansiText);
        m_impl->storeNumber(f, *value);
        return;
    }
    const CodePage cp = m_impl->header().codePage;
    if (cp == kAnsiCodePage)
        m_impl->store(f, ansiText); // the usual case: no copy
    else
        m_impl->store(f, recode(ansiText, kAnsiCodePage, cp));
}

void TableWriter::setFloat(std::string_view field, double value)
{
    const dbf::Field& f = m_impl->field(field);
    if (f.type != 'N' && f.type != 'F')
        throw Error(ErrorCode::Internal, "El campo " + f.name + " de la tabla " + m_impl->label() + " no es numérico");
    m_impl->storeNumber(f, value);
}

void TableWriter::setInteger(std::string_view field, std::int32_t value)
{
    setFloat(field, static_cast<double>(value));
}

double TableWriter::getFloat(std::string_view field) const
{
    const dbf::Field& f = m_impl->field(field);
    std::string_view raw = std::string_view(m_impl->record).substr(f.offset, static_cast<std::size_t>(f.width));
    if (f.type == 'N' || f.type == 'F') {
        if (auto plain = plainDecimal(raw))
            return *plain;
        bool invalid = false;
        auto number = dbf::parseNumberText(raw, invalid);
        if (!number)
            return 0;
        if (invalid)
            throwNotFloat(fromTableText(*number, m_impl->header().codePage));
        return numberToDouble(*number);
    }
    std::string text = fromTableText(std::string(raw), m_impl->header().codePage);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    if (text.empty())
        return 0;
    auto value = parseFloatText(text);
    if (!value)
        throwNotFloat(text);
    return *value;
}

void TableWriter::post()
{
    m_impl->requireRecord();
    m_impl->posted += m_impl->record;
    m_impl->editing = false;
    ++m_impl->count;
    if (m_impl->posted.size() >= Impl::kRunBytes)
        m_impl->storePosted();
}

void TableWriter::close()
{
    // A record appended and never posted is dropped, as closing the engine's table does.
    m_impl->editing = false;
    if (m_impl->appender) {
        try {
            m_impl->storePosted();
        } catch (...) {
            m_impl->appender.reset();
            throw;
        }
    }
    m_impl->appender.reset();
}

std::size_t TableWriter::recordCount() const
{
    return m_impl->count;
}


struct TableComponent::Impl {
    std::string component;
    std::string table;
    std::optional<dbf::Reader> reader;
    std::vector<std::size_t> visible; // record numbers of the records not deleted

    std::string filterText;
    std::optional<std::pair<std::string, std::string>> filter; // field, text
    bool filtered = false;
    bool filterActive = false;
    std::vector<std::size_t> filteredRows; // rows (positions in visible) passing the filter
    // Rows by text, per field, built the first time a filter uses the field, so that
    // refiltering for every teacher costs the rows found, not a walk of the table.
    std::unordered_map<std::size_t, std::unordered_map<std::string, std::vector<std::size_t>>> rowsByText;

    std::size_t position = 0;
    bool atEnd = true;

    [[noreturn]] void fail(ErrorCode code, const std::string& message) const
    {
        throw Error(code, component + ": " + message);
    }

    void requireOpen() const
    {
        if (!reader)
            fail(ErrorCode::Internal, "la tabla " + table + " no está abierta");
    }

    std::size_t listSize() const { return filterActive ? filteredRows.size() : visible.size(); }

    std::optional<std::size_t> currentRow() const
    {
        if (!reader || listSize() == 0)
            return std::nullopt;
        return filterActive ? filteredRows[position] : position;
    }

    std::size_t fieldIndex(std::string_view field) const
    {
        requireOpen();
        if (auto index = reader->fieldIndex(field)) {
            // No dBase field is 0 bytes wide; read as empty, such a field would silently drop
            // every value it should hold (a DIA of 0 passes every activity over).
            const dbf::Header& header = reader->header();
            if (header.fields[*index].width == 0)
                fail(ErrorCode::TableFormat, "el campo '" + codePageToUtf8(header.fields[*index].name, header.codePage)
                                                 + "' de la tabla " + table + " mide 0 bytes y no guarda ningún valor");
            return *index;
        }
        fail(ErrorCode::FieldNotFound, "No se encuentra el campo '" + std::string(field) + "'");
    }

    void checkRow(std::size_t row) const
    {
        requireOpen();
        if (row >= visible.size())
            fail(ErrorCode::Internal, "la fila " + std::to_string(row) + " no existe en la tabla " + table);
    }

    std::string textAt(std::size_t row, std::size_t field) const
    {
        checkRow(row);
        dbf::Value v = reader->value(visible[row], field);
        if (v.kind == dbf::Value::Kind::Text)
            return fromTableText(std::move(v.text), reader->header().codePage);
        return v.text;
    }

    std::int32_t integerAt(std::size_t row, std::size_t field) const
    {
        checkRow(row);
        dbf::Value v = reader->value(visible[row], field);
        if (v.kind == dbf::Value::Kind::Empty)
            return 0;
        if (v.kind == dbf::Value::Kind::Number) {
            auto rounded = dbf::roundHalfEven(v.text);
            if (!rounded || *rounded < INT32_MIN || *rounded > INT32_MAX)
                throwInvalidInteger(v.text);
            return static_cast<std::int32_t>(*rounded);
        }
        std::string text = textAt(row, field);
        if (auto value = tryStrToInt(trimLeadingBlanks(text)))
            return *value;
        throwInvalidInteger(text);
    }

    double floatAt(std::size_t row, std::size_t field) const
    {
        checkRow(row);
        dbf::Value v = reader->value(visible[row], field);
        if (v.kind == dbf::Value::Kind::Empty)
            return 0;
        if (v.kind == dbf::Value::Kind::Number)
            return numberToDouble(v.text);
        std::string text = textAt(row, field);
        auto value = parseFloatText(text);
        if (!value)
            throwNotFloat(text);
        return *value;
    }

    void applyFilter()
    {
        filterActive = reader && filtered && filter.has_value();
        filteredRows.clear();
        if (filterActive) {
            const std::size_t field = fieldIndex(filter->first);
            auto [groups, fresh] = rowsByText.try_emplace(field);
            if (fresh)
                for (std::size_t row = 0; row < visible.size(); ++row)
                    groups->second[textAt(row, field)].push_back(row);
            if (auto it = groups->second.find(filter->second); it != groups->second.end())
                filteredRows = it->second;
        }
        position = 0;
        atEnd = listSize() == 0;
    }
};

TableComponent::TableComponent(std::string componentName, std::string tableName) : m_impl(std::make_unique<Impl>())
{
    m_impl->component = std::move(componentName);
    m_impl->table = baseName(tableName);
}

TableComponent::~TableComponent() = default;

const std::string& TableComponent::name() const
{
    return m_impl->component;
}

const std::string& TableComponent::tableName() const
{
    return m_impl->table;
}

void TableComponent::open(const fs::path& folder)
{
    if (m_impl->reader)
        return;
    const std::string fileName = m_impl->table + ".DBF";
    auto found = findCaseInsensitive(folder, fileName);
    if (!found)
        m_impl->fail(ErrorCode::FileNotFound, "No existe la tabla " + (folder / fileName).string());
    dbf::Reader::Options options;
    options.exclusive = true;
    try {
        m_impl->reader = dbf::Reader::open(*found, options, dbf::osFileSystem());
    } catch (const Error& e) {
        m_impl->fail(e.code(), e.what());
    }
    m_impl->visible.clear();
    for (std::size_t r = 0; r < m_impl->reader->recordCount(); ++r)
        if (!m_impl->reader->isDeleted(r))
            m_impl->visible.push_back(r);
    try {
        m_impl->applyFilter();
    } catch (...) {
        close();
        throw;
    }
}

void TableComponent::close()
{
    m_impl->reader.reset();
    m_impl->visible.clear();
    m_impl->filteredRows.clear();
    m_impl->rowsByText.clear();
    m_impl->filterActive = false;
    m_impl->position = 0;
    m_impl->atEnd = true;
}

bool TableComponent::isOpen() const
{
    return m_impl->reader.has_value();
}

void TableComponent::first()
{
    m_impl->requireOpen();
    m_impl->position = 0;
    m_impl->atEnd = m_impl->listSize() == 0;
}

void TableComponent::next()
{
    m_impl->requireOpen();
    // Past the last record the table stays on it and reports its end.
    if (m_impl->position + 1 < m_impl->listSize())
        ++m_impl->position;
    else
        m_impl->atEnd = true;
}

bool TableComponent::eof() const
{
    return m_impl->atEnd;
}

std::size_t TableComponent::fieldIndex(std::string_view field) const
{
    return m_impl->fieldIndex(field);
}

std::string TableComponent::asString(std::string_view field) const
{
    const std::size_t index = m_impl->fieldIndex(field);
    auto row = m_impl->currentRow();
    return row ? m_impl->textAt(*row, index) : std::string();
}

std::int32_t TableComponent::asInteger(std::string_view field) const
{
    const std::size_t index = m_impl->fieldIndex(field);
    auto row = m_impl->currentRow();
    return row ? m_impl->integerAt(*row, index) : 0;
}

double TableComponent::asFloat(std::string_view field) const
{
    const std::size_t index = m_impl->fieldIndex(field);
    auto row = m_impl->currentRow();
    return row ? m_impl->floatAt(*row, index) : 0.0;
}

void TableComponent::setFilter(std::string_view text)
{
    // FIELD= 'text', the quotes inside the text doubled.
    std::string_view s = trimLeadingBlanks(text);
    std::size_t eq = s.find('=');
    std::string field(s.substr(0, eq == std::string_view::npos ? s.size() : eq));
    while (!field.empty() && field.back() == ' ')
        field.pop_back();
    std::optional<std::string> value;
    if (eq != std::string_view::npos && !field.empty()) {
        std::string_view rest = trimLeadingBlanks(s.substr(eq + 1));
        if (!rest.empty() && rest.front() == '\'') {
            std::string parsed;
            std::size_t i = 1;
            bool closed = false;
            while (i < rest.size()) {
                if (rest[i] == '\'') {
                    if (i + 1 < rest.size() && rest[i + 1] == '\'') {
                        parsed += '\'';
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                parsed += rest[i++];
            }
            if (closed && trimLeadingBlanks(rest.substr(i)).empty())
                value = std::move(parsed);
        }
    }
    if (trimLeadingBlanks(text).empty()) {
        m_impl->filter.reset();
    } else if (!value) {
        m_impl->fail(ErrorCode::Internal, "el filtro \"" + codePageToUtf8(text)
                                              + "\" no es válido; se espera CAMPO= 'texto'");
    } else {
        m_impl->filter = std::make_pair(std::move(field), std::move(*value));
    }
    m_impl->filterText = std::string(text);
    if (m_impl->filtered && m_impl->reader)
        m_impl->applyFilter();
}

void TableComponent::setFiltered(bool on)
{
    m_impl->filtered = on;
    if (m_impl->reader)
        m_impl->applyFilter();
}

std::size_t TableComponent::rowCount() const
{
    return m_impl->visible.size();
}

std::string TableComponent::textAt(std::size_t row, std::size_t fieldIndex) const
{
    return m_impl->textAt(row, fieldIndex);
}

std::int32_t TableComponent::integerAt(std::size_t row, std::size_t fieldIndex) const
{
    return m_impl->integerAt(row, fieldIndex);
}


struct FirstMatchIndex::Impl {
    std::size_t keyCount = 0;
    std::unordered_map<std::string, std::size_t> firstRow;
};

FirstMatchIndex::FirstMatchIndex(const TableComponent& table, const std::vector<std::string>& keyFields)
{
    auto impl = std::make_shared<Impl>();
    impl->keyCount = keyFields.size();
    std::vector<std::size_t> fields;
    for (const std::string& name : keyFields)
        fields.push_back(table.fieldIndex(name));
    std::vector<std::string> texts(fields.size());
    const std::size_t rows = table.rowCount();
    impl->firstRow.reserve(rows);
    for (std::size_t row = 0; row < rows; ++row) {
        for (std::size_t i = 0; i < fields.size(); ++i)
            texts[i] = table.textAt(row, fields[i]);
        impl->firstRow.try_emplace(keyOf(texts), row); // the earliest row keeps the key
    }
    m_impl = std::move(impl);
}

namespace {

template <typename Texts>
std::optional<std::size_t> firstRowOf(const std::unordered_map<std::string, std::size_t>& firstRow,
                                      std::size_t keyCount, const Texts& key)
{
    if (key.size() != keyCount)
        return std::nullopt;
    auto it = firstRow.find(keyOf(key));
    if (it == firstRow.end())
        return std::nullopt;
    return it->second;
}

} // namespace

std::optional<std::size_t> FirstMatchIndex::find(const std::vector<std::string>& key) const
{
    return firstRowOf(m_impl->firstRow, m_impl->keyCount, key);
}

std::optional<std::size_t> FirstMatchIndex::find(std::string_view key) const
{
    return firstRowOf(m_impl->firstRow, m_impl->keyCount, std::array<std::string_view, 1> {key});
}

std::optional<std::size_t> FirstMatchIndex::find(std::initializer_list<std::string_view> key) const
{
    return firstRowOf(m_impl->firstRow, m_impl->keyCount, key);
}

} // namespace enlazio
