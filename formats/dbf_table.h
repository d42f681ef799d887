// SPDX-License-Identifier: MIT
// Purpose: the table layer the conversions and the import use, over our dBase reader and writer.
#pragma once

#include "formats/codepage.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace enlazio {

enum class FieldType { Text, Integer, Float };

struct FieldDef {
    std::string name;
    FieldType type = FieldType::Text;
    int size = 0; // width of a text field, 0 otherwise
};
using TableLayout = std::vector<FieldDef>;

// Rebuilds NAME.DBF empty in folder: deletes NAME.DBF and NAME.MDX (a file whose name
// differs only in letter case is the same file), then creates the table with the layout.
// Throws Error when the folder is missing, the file cannot be created, or another
// instance of the tool holds the table.
void createTable(const std::filesystem::path& folder, std::string_view name, const TableLayout& layout);

// A conversion's own table object: opened on a table made by createTable, appends records.
// Text passed in and out is Windows-1252. Posted records are stored a run at a time, and
// all of them by close() or the destructor; the header's record count follows right after
// every run stored, so a run that stops half-way leaves a valid table holding every
// record posted before (a failing write: every record before the one that failed).
class TableWriter {
public:
    TableWriter(std::filesystem::path folder, std::string name);
    ~TableWriter(); // closes
    TableWriter(const TableWriter&) = delete;
    TableWriter& operator=(const TableWriter&) = delete;

    void open();                    // no-op when open
    void append();                  // a new record, every field empty, becomes current
    void setText(std::string_view field, std::string_view ansiText); // cut to width; empty stays empty
    void setFloat(std::string_view field, double value);
    void setInteger(std::string_view field, std::int32_t value); // a numeric field, as N(11,0) keeps it
    double getFloat(std::string_view field) const; // as stored in the current record; 0 when never set
    void post();                    // stores the current record after the others
    void close();                   // no-op when closed
    std::size_t recordCount() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// One of the window's table components: opened exclusively (an advisory lock that a
// second instance respects), read from the first record, with the filter "PROF= 'O''B'".
// Records flagged deleted are hidden. Text comes back in Windows-1252 without trailing blanks.
class TableComponent {
public:
    TableComponent(std::string componentName, std::string tableName);
    ~TableComponent();
    TableComponent(const TableComponent&) = delete;
    TableComponent& operator=(const TableComponent&) = delete;

    const std::string& name() const;      // "wwTableSoluc"
    const std::string& tableName() const; // "SOLUC"

    void open(const std::filesystem::path& folder); // no-op when open
    void close();                                   // no-op when closed
    bool isOpen() const;

    void first();
    void next();
    bool eof() const;

    // Throws Error(FieldNotFound) "<component>: No se encuentra el campo '<FIELD>'".
    std::size_t fieldIndex(std::string_view field) const;
    std::string asString(std::string_view field) const;
    std::int32_t asInteger(std::string_view field) const; // half to even; empty gives 0
    double asFloat(std::string_view field) const;

    // Filter text "FIELD= 'text'" with quotes doubled; exact comparison, case and blanks significant.
    void setFilter(std::string_view filterText);
    void setFiltered(bool on); // leaves the table on its first visible record

    // Direct access for lookups: visible records (not deleted) in table order.
    std::size_t rowCount() const;
    std::string textAt(std::size_t row, std::size_t fieldIndex) const;   // as asString
    std::int32_t integerAt(std::size_t row, std::size_t fieldIndex) const; // as asInteger

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Row of the first record whose key fields equal the given texts, the same answer as a
// walk from the first record, found in constant time. Built once per run.
class FirstMatchIndex {
public:
    FirstMatchIndex(const TableComponent& table, const std::vector<std::string>& keyFields);
    std::optional<std::size_t> find(const std::vector<std::string>& key) const;
    std::optional<std::size_t> find(std::string_view key) const; // single key field
    // find({"MAT", "1A"}): without it the braces would pick string_view's (first, last) constructor.
    std::optional<std::size_t> find(std::initializer_list<std::string_view> key) const;

private:
    struct Impl;
    std::shared_ptr<const Impl> m_impl;
};

// Builds the filter text for a teacher code: "PROF= 'O''B'".
std::string filterText(std::string_view field, std::string_view ansiValue);

} // namespace enlazio
