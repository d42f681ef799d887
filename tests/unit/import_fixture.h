// SPDX-License-Identifier: MIT
// Purpose: helpers of the import tests: a fresh folder, exchange tables, and a result read back as an outline.
#pragma once

#include "export/table_layouts.h"
#include "formats/dbf_table.h"
#include "temp_folder.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace import_test {

namespace fs = std::filesystem;
using enlazio::FieldDef;
using enlazio::FieldType;
using enlazio::TableLayout;
using Rows = std::vector<std::vector<std::string>>;

using TempFolder = enlazio::testutil::TempFolder;

inline void writeFile(const fs::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Rebuilds NAME.DBF with the layout and appends the rows; each row gives the texts of
// `columns` in order (Windows-1252). A number field gets its text as a number; an empty
// text leaves any field empty.
inline void writeTable(const fs::path& folder, std::string_view name, const TableLayout& layout,
                       const std::vector<std::string>& columns, const Rows& rows)
{
    enlazio::createTable(folder, name, layout);
    enlazio::TableWriter writer(folder, std::string(name));
    writer.open();
    for (const auto& row : rows) {
        writer.append();
        for (std::size_t i = 0; i < columns.size() && i < row.size(); ++i) {
            if (row[i].empty())
                continue;
            FieldType type = FieldType::Text;
            for (const auto& field : layout)
                if (field.name == columns[i])
                    type = field.type;
            if (type == FieldType::Text)
                writer.setText(columns[i], row[i]);
            else if (type == FieldType::Integer)
                writer.setInteger(columns[i], std::stoi(row[i]));
            else
                writer.setFloat(columns[i], std::stod(row[i]));
        }
        writer.post();
    }
    writer.close();
}

// SOLUC as Aularis may keep it: DIA and HORA as numbers, or as text.
enum class SolucKind { Numeric, Text };

inline TableLayout solucLayout(SolucKind kind, std::string_view without = {})
{
    const FieldDef day = kind == SolucKind::Numeric ? FieldDef{"DIA", FieldType::Integer, 0} : FieldDef{"DIA", FieldType::Text, 2};
    const FieldDef hour
        = kind == SolucKind::Numeric ? FieldDef{"HORA", FieldType::Integer, 0} : FieldDef{"HORA", FieldType::Text, 2};
    TableLayout layout = {{"PROF", FieldType::Text, 4}, day, hour, {"ASIG", FieldType::Text, 4},
                          {"AULA", FieldType::Text, 4}, {"CODGRUPO", FieldType::Text, 4}};
    std::erase_if(layout, [&](const FieldDef& field) { return field.name == without; });
    return layout;
}

inline const std::vector<std::string> kSolucColumns = {"PROF", "DIA", "HORA", "ASIG", "AULA", "CODGRUPO"};

// The result read back: one line per element, "name attr=value: text", two blanks of
// indent per level; text only for elements without element children.
inline void outlineElement(xmlNode* element, int depth, std::string& out)
{
    out += std::string(static_cast<std::size_t>(depth) * 2, ' ');
    out += reinterpret_cast<const char*>(element->name);
    for (xmlAttr* attribute = element->properties; attribute; attribute = attribute->next) {
        xmlChar* value = xmlNodeGetContent(reinterpret_cast<xmlNode*>(attribute));
        out += std::string(" ") + reinterpret_cast<const char*>(attribute->name) + "="
            + reinterpret_cast<const char*>(value);
        xmlFree(value);
    }
    bool hasElements = false;
    std::string text;
    for (xmlNode* child = element->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            hasElements = true;
        else if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE)
            text += reinterpret_cast<const char*>(child->content);
    }
    if (hasElements) {
        if (text.find_first_not_of(" \t\r\n") != std::string::npos)
            out += " #mixed-text: " + text;
    } else if (!text.empty()) {
        out += ": " + text;
    }
    out += "\n";
    for (xmlNode* child = element->children; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE)
            outlineElement(child, depth + 1, out);
}

struct ParsedDocument {
    explicit ParsedDocument(const fs::path& file)
        : doc(xmlReadFile(file.c_str(), nullptr, XML_PARSE_NONET))
    {
    }
    ~ParsedDocument() { xmlFreeDoc(doc); }
    ParsedDocument(const ParsedDocument&) = delete;
    ParsedDocument& operator=(const ParsedDocument&) = delete;
    xmlDoc* doc;
};

// Whole document from the root down.
inline std::string outline(const fs::path& file)
{
    ParsedDocument parsed(file);
    if (!parsed.doc)
        return "<not well-formed>";
    std::string out;
    outlineElement(xmlDocGetRootElement(parsed.doc), 0, out);
    return out;
}

// What the first SALIDAS child of the root holds, its children at depth 0.
inline std::string outputOutline(const fs::path& file)
{
    ParsedDocument parsed(file);
    if (!parsed.doc)
        return "<not well-formed>";
    for (xmlNode* child = xmlDocGetRootElement(parsed.doc)->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && std::string_view(reinterpret_cast<const char*>(child->name)) == "SALIDAS") {
            std::string out;
            for (xmlNode* item = child->children; item; item = item->next)
                if (item->type == XML_ELEMENT_NODE)
                    outlineElement(item, 0, out);
            return out;
        }
    }
    return "<no SALIDAS>";
}

// Expected outline pieces, at the depth outputOutline gives them.
inline std::string value(int depth, std::string_view dato, std::string_view text)
{
    std::string line = std::string(static_cast<std::size_t>(depth) * 2, ' ') + "salida dato=" + std::string(dato);
    if (!text.empty())
        line += ": " + std::string(text);
    return line + "\n";
}

inline std::string status()
{
    return "ERROR\n" + value(1, "CN_ERROR", "0") + value(1, "TE_ERROR", "Servicio finalizado Correctamente");
}

inline std::string teacher(int number, std::string_view employee, std::string_view takingOffice)
{
    return "listasal seq=EMPLEADO_" + std::to_string(number) + "\n" + value(1, "X_EMPLEADO", employee)
        + value(1, "F_TOMAPOS", takingOffice);
}

struct Activity {
    std::string_view actividad, diaSemana, tramo, depCentro, unidad, materiaOmc;
};

inline std::string activity(int number, const Activity& a)
{
    return "  listasal seq=ACTIVIDAD_" + std::to_string(number) + "\n" + value(2, "X_ACTIVIDAD", a.actividad)
        + value(2, "N_DIASEMANA", a.diaSemana) + value(2, "X_TRAMO", a.tramo) + value(2, "X_DEPCENTRO", a.depCentro)
        + value(2, "X_UNIDAD", a.unidad) + value(2, "X_MATERIAOMC", a.materiaOmc);
}

} // namespace import_test
