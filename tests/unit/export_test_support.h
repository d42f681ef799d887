// SPDX-License-Identifier: MIT
// Purpose: shared pieces of the export tests: a fresh exchange folder, sections built in memory,
// and the tables read back through the table layer.
#pragma once

#include "formats/codepage.h"
#include "formats/dbf_table.h"
#include "formats/service_document.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace enlazio::testing {

namespace fs = std::filesystem;

// A fresh exchange folder per test, removed afterwards.
class ExchangeFolderTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(m_exchange); }

    testutil::TempFolder m_folder;
    // A folder of its own inside, so that a test can put a document beside it.
    fs::path m_exchange = m_folder.path() / "intercambio";
};

// Entries whose values are given by position, in UTF-8, without dato names.
inline SectionEntries positional(std::initializer_list<std::vector<std::string>> entries)
{
    SectionEntries section;
    for (const auto& values : entries) {
        section.beginEntry();
        for (const auto& text : values)
            section.addValue(std::nullopt, utf8ToCodePage(text));
    }
    return section;
}

using Named = std::vector<std::pair<std::optional<std::string>, std::string>>;

// Entries whose values carry dato names (nullopt: a value without dato), in UTF-8.
inline SectionEntries named(std::initializer_list<Named> entries)
{
    SectionEntries section;
    for (const auto& values : entries) {
        section.beginEntry();
        for (const auto& [dato, text] : values) {
            std::optional<std::string> ansiDato;
            if (dato)
                ansiDato = utf8ToCodePage(*dato);
            section.addValue(ansiDato ? std::optional<std::string_view>(*ansiDato) : std::nullopt,
                             utf8ToCodePage(text));
        }
    }
    return section;
}

// Every record of a table as UTF-8 texts of the given fields, in table order.
inline std::vector<std::vector<std::string>> readRows(const fs::path& folder, const std::string& table,
                                                      const std::vector<std::string>& fields)
{
    TableComponent component("wwTableTest", table);
    component.open(folder);
    std::vector<std::size_t> indexes;
    for (const auto& field : fields)
        indexes.push_back(component.fieldIndex(field));
    std::vector<std::vector<std::string>> rows;
    for (std::size_t row = 0; row < component.rowCount(); ++row) {
        std::vector<std::string> texts;
        for (std::size_t index : indexes)
            texts.push_back(codePageToUtf8(component.textAt(row, index)));
        rows.push_back(std::move(texts));
    }
    component.close();
    return rows;
}

// One field of every record read as a float, in table order.
inline std::vector<double> readFloats(const fs::path& folder, const std::string& table, const std::string& field)
{
    TableComponent component("wwTableTest", table);
    component.open(folder);
    std::vector<double> values;
    for (component.first(); !component.eof(); component.next())
        values.push_back(component.asFloat(field));
    component.close();
    return values;
}

inline void writeFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

} // namespace enlazio::testing
