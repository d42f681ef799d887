// SPDX-License-Identifier: MIT
// Purpose: enlazio-cli mostrar: prints a dBase table's fields and records in UTF-8, aligned or as CSV.
#include "cli/commands.h"
#include "cli/run_command.h"

#include "formats/codepage.h"
#include "formats/dbf_format.h"
#include "formats/error.h"
#include "formats/win_path.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace enlazio::cli {
namespace {

constexpr const char* kMostrarUsage = "uso: enlazio-cli mostrar TABLA [--exchange DIR] [--csv]\n";

constexpr const char* kMostrarHelp =
    "\n"
    "Muestra los campos (nombre, tipo, ancho) y los registros de una tabla dBase en UTF-8.\n"
    "\n"
    "  TABLA           nombre de una tabla de la carpeta de intercambio (SOLUC)\n"
    "                  o ruta de un archivo .DBF\n"
    "  --exchange DIR  carpeta de intercambio en lugar de C:\\ATEMP\n"
    "  --csv           solo una línea con los nombres de los campos y una por registro,\n"
    "                  en CSV (RFC 4180); los registros borrados no salen\n"
    "  --help          esta ayuda\n"
    "  --version       versión del programa\n"
    "\n"
    "Estado de salida: 0 mostrada, 1 no se puede leer la tabla, 2 uso incorrecto.\n";

int usageError(const std::string& message)
{
    std::fprintf(stderr, "enlazio-cli mostrar: %s\n%s", message.c_str(), kMostrarUsage);
    return kExitUsage;
}

bool endsWithDbf(std::string_view s)
{
    return s.size() >= 4 && equalsIgnoringAsciiCase(s.substr(s.size() - 4), ".dbf");
}

std::size_t displayWidth(const std::string& utf8)
{
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string codePageName(CodePage cp)
{
    switch (cp) {
    case CodePage::Windows1252: return "Windows-1252";
    case CodePage::Ibm437: return "IBM 437";
    case CodePage::Ibm850: return "IBM 850";
    }
    return "Windows-1252";
}

// A value as the viewer shows it: text decoded from the table's code page, the rest as read.
std::string displayText(const dbf::Value& value, CodePage cp)
{
    return value.kind == dbf::Value::Kind::Text ? codePageToUtf8(value.text, cp) : value.text;
}

std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    quoted += '"';
    return quoted;
}

// In the aligned listing a line break inside a value would break the columns.
std::string oneLine(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    return text;
}

void printCsv(const dbf::Reader& table)
{
    const dbf::Header& h = table.header();
    std::string out;
    for (std::size_t f = 0; f < h.fields.size(); ++f) {
        if (f > 0)
            out += ',';
        out += csvField(codePageToUtf8(h.fields[f].name, h.codePage));
    }
    out += "\r\n";
    for (std::size_t r = 0; r < table.recordCount(); ++r) {
        if (table.isDeleted(r))
            continue;
        for (std::size_t f = 0; f < h.fields.size(); ++f) {
            if (f > 0)
                out += ',';
            out += csvField(displayText(table.value(r, f), h.codePage));
        }
        out += "\r\n";
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
}

void printListing(const dbf::Reader& table, const std::string& shownPath)
{
    const dbf::Header& h = table.header();
    std::size_t deleted = 0;
    for (std::size_t r = 0; r < table.recordCount(); ++r)
        deleted += table.isDeleted(r) ? 1 : 0;

    std::string out;
    out += "Tabla: " + shownPath + "\n";
    out += "Versión: " + dbf::hexByte(h.version) + " (" + dbf::versionName(h.version) + ")\n";
    out += "Página de códigos: " + codePageName(h.codePage) + " (controlador de idioma " + dbf::hexByte(h.languageDriver)
        + (h.driverName.empty() ? std::string() : ", " + h.driverName) + ")\n";
    out += "Registros: " + std::to_string(table.recordCount() - deleted);
    if (deleted > 0)
        out += " (y " + std::to_string(deleted) + (deleted == 1 ? " borrado, que no se muestra)" : " borrados, que no se muestran)");
    out += "\n\n";

    std::vector<std::string> names;
    std::size_t nameWidth = 5;
    for (const dbf::Field& f : h.fields) {
        names.push_back(oneLine(codePageToUtf8(f.name, h.codePage)));
        nameWidth = std::max(nameWidth, displayWidth(names.back()));
    }
    auto pad = [](std::string s, std::size_t width, bool right) {
        std::size_t w = displayWidth(s);
        if (w >= width)
            return s;
        return right ? std::string(width - w, ' ') + s : s + std::string(width - w, ' ');
    };
    out += pad("Campo", nameWidth, false) + "  Tipo  Ancho\n";
    for (std::size_t i = 0; i < h.fields.size(); ++i) {
        const dbf::Field& f = h.fields[i];
        std::string width = std::to_string(f.width);
        if (f.decimals > 0)
            width += "," + std::to_string(f.decimals);
        out += pad(names[i], nameWidth, false) + "  " + pad(std::string(1, f.type), 4, false) + "  " + width + "\n";
    }
    if (h.fields.empty())
        out += "(sin campos)\n";

    std::vector<std::vector<std::string>> cells;
    std::vector<std::vector<bool>> rightAligned;
    std::vector<std::size_t> widths;
    for (const std::string& name : names)
        widths.push_back(displayWidth(name));
    for (std::size_t r = 0; r < table.recordCount(); ++r) {
        if (table.isDeleted(r))
            continue;
        std::vector<std::string> row;
        std::vector<bool> right;
        for (std::size_t f = 0; f < h.fields.size(); ++f) {
            dbf::Value v = table.value(r, f);
            row.push_back(oneLine(displayText(v, h.codePage)));
            right.push_back(v.kind == dbf::Value::Kind::Number);
            widths[f] = std::max(widths[f], displayWidth(row.back()));
        }
        cells.push_back(std::move(row));
        rightAligned.push_back(std::move(right));
    }
    if (h.fields.empty()) {
        std::fwrite(out.data(), 1, out.size(), stdout);
        return;
    }

    auto line = [&](const std::vector<std::string>& row, const std::vector<bool>& right) {
        std::string text;
        for (std::size_t f = 0; f < row.size(); ++f) {
            if (f > 0)
                text += "  ";
            text += pad(row[f], widths[f], right[f]);
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        return text + "\n";
    };
    out += "\n";
    out += line(names, std::vector<bool>(names.size(), false));
    std::vector<std::string> rules;
    for (std::size_t w : widths)
        rules.emplace_back(w, '-');
    out += line(rules, std::vector<bool>(rules.size(), false));
    for (std::size_t i = 0; i < cells.size(); ++i)
        out += line(cells[i], rightAligned[i]);
    if (cells.empty())
        out += "(sin registros)\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
}

} // namespace

int cmdMostrar(const std::vector<std::string>& args)
{
    std::optional<std::string> table;
    std::optional<std::string> exchange;
    bool csv = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kMostrarUsage, stdout);
            std::fputs(kMostrarHelp, stdout);
            return kExitOk;
        }
        if (arg == "--version") {
            printVersion();
            return kExitOk;
        }
        if (arg == "--csv") {
            csv = true;
        } else if (isExchangeOption(arg)) {
            if (exchange)
                return usageError("--exchange aparece dos veces");
            std::string dir;
            std::string problem;
            if (!takeExchange(args, i, dir, problem))
                return usageError(problem);
            exchange = dir;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("opción desconocida '" + arg + "'");
        } else if (table) {
            return usageError("sobra el argumento '" + arg + "'");
        } else {
            table = arg;
        }
    }
    if (!table || table->empty())
        return usageError("falta la tabla");

    std::filesystem::path file;
    // A name with a folder part, or an existing .DBF file here, is that file; anything
    // else names a table of the exchange folder, whatever the letter case of its file.
    if (table->find('/') != std::string::npos || (endsWithDbf(*table) && fileExists(*table))) {
        file = *table;
    } else {
        const std::string fileName = endsWithDbf(*table) ? *table : *table + ".DBF";
        const std::filesystem::path folder = exchange ? resolveWindowsPath(*exchange) : exchangeFolder();
        auto found = findCaseInsensitive(folder, fileName);
        if (!found) {
            std::fprintf(stderr, "enlazio-cli mostrar: No existe la tabla %s en la carpeta %s\n", fileName.c_str(),
                         folder.string().c_str());
            return kExitFailed;
        }
        file = *found;
    }

    try {
        dbf::Reader reader = dbf::Reader::open(file);
        if (csv)
            printCsv(reader);
        else
            printListing(reader, file.string());
    } catch (const Error& e) {
        std::fprintf(stderr, "enlazio-cli mostrar: %s\n", e.what());
        return kExitFailed;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "enlazio-cli mostrar: %s: %s\n", file.string().c_str(), e.what());
        return kExitFailed;
    }
    std::fflush(stdout);
    return std::ferror(stdout) ? kExitFailed : kExitOk;
}

} // namespace enlazio::cli
