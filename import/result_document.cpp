// SPDX-License-Identifier: MIT
// Purpose: the import run: SOLUC and the six exchange tables rebuild SALIDAS, saved as the result file.
#include "import/result_document.h"

#include "formats/day_letters.h"
#include "formats/error.h"
#include "formats/win_path.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace enlazio {
namespace {

// A field of a table component looked up by name the first time it is needed, so a table
// that lacks it fails where a walk would first have read it, and not before.
class LazyField {
public:
    LazyField(const TableComponent& table, std::string_view name) : m_table(table), m_name(name) {}

    std::size_t index()
    {
        if (!m_index)
            m_index = m_table.fieldIndex(m_name);
        return *m_index;
    }
    std::string textAt(std::size_t row) { return m_table.textAt(row, index()); }
    std::int32_t integerAt(std::size_t row) { return m_table.integerAt(row, index()); }

private:
    const TableComponent& m_table;
    std::string_view m_name;
    std::optional<std::size_t> m_index;
};

// First row whose key fields equal the key, as a walk from the first row would find it.
// The index is built at the first lookup; an empty table is never indexed, since a walk
// over it reads no field at all.
class Lookup {
public:
    Lookup(const TableComponent& table, std::vector<std::string> keyFields)
        : m_table(table), m_keyFields(std::move(keyFields))
    {
    }

    std::optional<std::size_t> find(const std::vector<std::string>& key)
    {
        if (!prepare())
            return std::nullopt;
        return m_index->find(key);
    }
    std::optional<std::size_t> find(std::string_view key)
    {
        if (!prepare())
            return std::nullopt;
        return m_index->find(key);
    }

private:
    bool prepare()
    {
        if (!m_prepared) {
            if (m_table.rowCount() > 0)
                m_index.emplace(m_table, m_keyFields);
            m_prepared = true;
        }
        return m_index.has_value();
    }

    const TableComponent& m_table;
    std::vector<std::string> m_keyFields;
    bool m_prepared = false;
    std::optional<FirstMatchIndex> m_index;
};

// The rows of SOLUC per teacher code, grouped once instead of filtering the table per
// teacher: each group holds exactly the rows the filter "PROF= '<code>'" passes, in table
// order (exact comparison, case and blanks significant).
class SolucByTeacher {
public:
    explicit SolucByTeacher(const TableComponent& soluc) : m_soluc(soluc) {}

    const std::vector<std::size_t>& rowsOf(const std::string& teacherCode)
    {
        if (!m_grouped) {
            const std::size_t prof = m_soluc.fieldIndex("PROF");
            const std::size_t rows = m_soluc.rowCount();
            for (std::size_t row = 0; row < rows; ++row)
                m_groups[m_soluc.textAt(row, prof)].push_back(row);
            m_grouped = true;
        }
        auto it = m_groups.find(teacherCode);
        return it == m_groups.end() ? m_none : it->second;
    }

private:
    const TableComponent& m_soluc;
    bool m_grouped = false;
    std::unordered_map<std::string, std::vector<std::size_t>> m_groups;
    const std::vector<std::size_t> m_none;
};

// Closes the seven components in their fixed order when the run leaves, also by an error,
// so that a later export run finds every table free.
class ClosesTables {
public:
    explicit ClosesTables(ImportTables& tables) : m_tables(tables) {}
    ClosesTables(const ClosesTables&) = delete;
    ClosesTables& operator=(const ClosesTables&) = delete;
    ~ClosesTables()
    {
        for (TableComponent* table : {&m_tables.soluc, &m_tables.grupos, &m_tables.profesor, &m_tables.aulas,
                                      &m_tables.nomAsg, &m_tables.tramos, &m_tables.asig}) {
            try {
                table->close();
            } catch (...) {
                // A close that fails must neither hide the run's own error nor skip the other tables.
            }
        }
    }

private:
    ImportTables& m_tables;
};

// Day letter of a timetable day read as text: "1".."7" give L M X J V S D, anything else none.
std::string_view dayLetter(std::string_view dayText)
{
    return dayText.size() == 1 && dayText[0] >= '1' && dayText[0] <= '7' ? dayLetterOfNumber(dayText[0] - '0')
                                                                           : std::string_view {};
}

std::string slotKey(std::string_view dayText, std::int32_t hour)
{
    return std::string(dayLetter(dayText)) + std::to_string(hour);
}

constexpr std::string_view kDefaultActivityCode = "G439";

void appendValue(ServiceDocument& doc, XmlNode* parent, std::string_view dato, std::string_view ansiText)
{
    XmlNode* value = doc.createElement("salida");
    doc.setAttribute(value, "dato", dato);
    doc.setText(value, ansiText);
    doc.appendChild(parent, value);
}

XmlNode* appendSection(ServiceDocument& doc, XmlNode* parent, std::string_view seq)
{
    XmlNode* section = doc.createElement("listasal");
    doc.setAttribute(section, "seq", seq);
    doc.appendChild(parent, section);
    return section;
}

// Takes the old output part out and returns the element that receives the new content:
// the first SALIDAS child of the root once the new one has been appended. With two old
// output parts that is the second old one, as the service has always seen it.
XmlNode* replaceOutputPart(ServiceDocument& doc, const fs::path& chosenFile)
{
    XmlNode* root = doc.documentElement();
    if (!root)
        throw Error(ErrorCode::XmlStructure,
                    "El documento '" + chosenFile.string()
                        + "' no tiene elemento raíz: no se puede escribir el resultado");
    XmlNode* oldOutput = doc.selectSingleChild(root, "SALIDAS");
    if (!oldOutput)
        throw Error(ErrorCode::XmlStructure,
                    "El documento '" + chosenFile.string()
                        + "' no tiene elemento SALIDAS bajo su raíz: no se puede escribir el resultado");
    doc.removeChild(root, oldOutput);
    doc.appendChild(root, doc.createElement("SALIDAS"));
    return doc.selectSingleChild(root, "SALIDAS");
}

void appendStatus(ServiceDocument& doc, XmlNode* target)
{
    XmlNode* status = doc.createElement("ERROR");
    doc.appendChild(target, status);
    appendValue(doc, status, "CN_ERROR", "0");
    appendValue(doc, status, "TE_ERROR", "Servicio finalizado Correctamente");
}

// Everything the teacher loop needs, opened and prepared once per run.
class ResultBuilder {
public:
    ResultBuilder(ServiceDocument& doc, ImportTables& tables, const fs::path& exchange)
        : m_doc(doc), m_tables(tables), m_exchange(exchange)
    {
    }

    void writeTeachers(XmlNode* target, ImportSummary& summary)
    {
        TableComponent& profesor = m_tables.profesor;
        std::size_t teacherNumber = 1;
        for (profesor.first(); !profesor.eof(); profesor.next()) {
            const std::string employee = profesor.asString("X_EMPLEADO");
            const std::string takingOffice = profesor.asString("F_TOMAPOS");
            XmlNode* section = appendSection(m_doc, target, "EMPLEADO_" + std::to_string(teacherNumber++));
            appendValue(m_doc, section, "X_EMPLEADO", employee);
            appendValue(m_doc, section, "F_TOMAPOS", takingOffice);
            ++summary.teachers;

            const std::string teacherCode = profesor.asString("ABREV");
            std::size_t activityNumber = 1;
            for (std::size_t row : m_solucRows.rowsOf(teacherCode)) {
                // Rows Aularis could not place carry day 0; they take no number.
                if (m_solucDia.integerAt(row) == 0)
                    continue;
                writeActivity(section, row, activityNumber++);
                ++summary.activities;
            }
        }
    }

private:
    void writeActivity(XmlNode* teacherSection, std::size_t row, std::size_t activityNumber)
    {
        XmlNode* entry = appendSection(m_doc, teacherSection, "ACTIVIDAD_" + std::to_string(activityNumber));

        const std::string subject = m_solucAsig.textAt(row);
        std::string activityCode;
        if (auto match = m_subjects.find(subject))
            activityCode = m_subjectMateria.textAt(*match);
        appendValue(m_doc, entry, "X_ACTIVIDAD",
                    activityCode.starts_with('G') ? std::string_view(activityCode) : kDefaultActivityCode);

        const std::string dayText = m_solucDia.textAt(row);
        const std::string key = slotKey(dayText, m_solucHora.integerAt(row));
        std::string slotDay;
        std::string slotCode;
        if (auto match = m_slots.find(key)) {
            slotDay = m_slotDia.textAt(*match);
            slotCode = m_slotCoddiho.textAt(*match);
        }
        appendValue(m_doc, entry, "N_DIASEMANA", slotDay);
        appendValue(m_doc, entry, "X_TRAMO", slotCode);

        const std::string room = m_solucAula.textAt(row);
        std::string roomId;
        if (auto match = m_rooms.find(room))
            roomId = m_roomDepcentro.textAt(*match);
        appendValue(m_doc, entry, "X_DEPCENTRO", roomId);

        const std::string group = m_solucCodgrupo.textAt(row);
        std::string unitId;
        if (auto match = m_groups.find(group))
            unitId = m_groupUnidad.textAt(*match);
        appendValue(m_doc, entry, "X_UNIDAD", unitId);

        // ASIGT is opened only once an activity needs it.
        m_tables.asig.open(m_exchange);
        std::string groupSubject;
        if (auto match = m_assignments.find({subject, group}))
            groupSubject = m_assignmentMateria.textAt(*match);
        appendValue(m_doc, entry, "X_MATERIAOMC", groupSubject);
    }

    ServiceDocument& m_doc;
    ImportTables& m_tables;
    const fs::path& m_exchange;

    SolucByTeacher m_solucRows{m_tables.soluc};
    LazyField m_solucDia{m_tables.soluc, "DIA"};
    LazyField m_solucHora{m_tables.soluc, "HORA"};
    LazyField m_solucAsig{m_tables.soluc, "ASIG"};
    LazyField m_solucAula{m_tables.soluc, "AULA"};
    LazyField m_solucCodgrupo{m_tables.soluc, "CODGRUPO"};

    Lookup m_subjects{m_tables.nomAsg, {"COD"}};
    LazyField m_subjectMateria{m_tables.nomAsg, "MATERIA"};
    Lookup m_slots{m_tables.tramos, {"DIHO"}};
    LazyField m_slotDia{m_tables.tramos, "DIA"};
    LazyField m_slotCoddiho{m_tables.tramos, "CODDIHO"};
    Lookup m_rooms{m_tables.aulas, {"ABREV"}};
    LazyField m_roomDepcentro{m_tables.aulas, "DEPCENTRO"};
    Lookup m_groups{m_tables.grupos, {"ABREV"}};
    LazyField m_groupUnidad{m_tables.grupos, "UNIDAD"};
    Lookup m_assignments{m_tables.asig, {"CASIG", "CGRUP"}};
    LazyField m_assignmentMateria{m_tables.asig, "MATERIA"};
};

} // namespace

fs::path resultPathFor(const fs::path& chosenFile)
{
    return chosenFile.parent_path() / ("ResultadoAulix" + chosenFile.filename().string());
}

ImportSummary buildResultDocument(ServiceDocument& doc, const fs::path& chosenFile, ImportTables& tables,
                                  const fs::path& exchange)
{
    XmlNode* target = replaceOutputPart(doc, chosenFile);
    appendStatus(doc, target);

    ImportSummary summary;
    summary.resultPath = resultPathFor(chosenFile);
    {
        ClosesTables closeAtEnd(tables);
        for (TableComponent* table :
             {&tables.soluc, &tables.grupos, &tables.profesor, &tables.aulas, &tables.nomAsg, &tables.tramos})
            table->open(exchange);

        ResultBuilder builder(doc, tables, exchange);
        builder.writeTeachers(target, summary);
    }
    // Written once, at the very end, so that a failing run leaves no result behind; the
    // save itself goes through a temporary file, so an older result survives a failing save.
    doc.save(summary.resultPath);
    return summary;
}

ImportSummary runImport(const fs::path& file, const fs::path& exchange)
{
    if (!fileExists(file))
        throw Error(ErrorCode::FileNotFound, "No existe archivo");
    // The old output part is replaced, so it is only checked, never held in memory.
    ServiceDocument doc = ServiceDocument::loadWithoutOutputPart(file);
    ImportTables tables;
    return buildResultDocument(doc, file, tables, exchange);
}

} // namespace enlazio
