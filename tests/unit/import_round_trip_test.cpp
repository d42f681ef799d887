// SPDX-License-Identifier: MIT
// Purpose: the round trip: a service document exported, a timetable made from the tables, imported back.
#include "export/conversions.h"
#include "import/result_document.h"
#include "import_fixture.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace enlazio;
using namespace import_test;

namespace {

struct Subject { std::string id, code; };
struct Teacher { std::string employee, takingOffice, code; };
struct Room { std::string id, code; };
struct Group { std::string id, code; };
struct Assignment { std::string subject, group, room, minutes, materia; };
struct Slot { std::string code, name; };

// A small school; every lookup of the import has to find its way back to these ids.
const std::vector<Subject> kSubjects = {{"G0101", "MAT"}, {"G0102", "LEN"}, {"X0103", "REL"}};
const std::vector<Teacher> kTeachers = {{"E100", "2019", "ANA"}, {"E200", "2021", "O'B"}, {"E300", "2020", "SIN"}};
const std::vector<Room> kRooms = {{"D10", "A1"}, {"D20", "LAB"}};
const std::vector<Group> kGroups = {{"U1", "1A"}, {"U2", "2B"}};
const std::vector<Assignment> kAssignments = {{"MAT", "1A", "A1", "240", "M-MAT-1A"},
                                              {"MAT", "2B", "A1", "180", "M-MAT-2B"},
                                              {"LEN", "1A", "LAB", "120", "M-LEN-1A"},
                                              {"REL", "2B", "A1", "60", "M-REL-2B"}};
const std::vector<Slot> kSlots = {{"T1", "L1"}, {"T2", "L2"}, {"T3", "M1"}, {"T4", "X10"}, {"T5", "S3"}};

std::string entry(const std::vector<std::string>& values)
{
    std::string xml = "<listasal>";
    for (const std::string& v : values)
        xml += "<salida dato=\"V\">" + v + "</salida>";
    return xml + "</listasal>";
}

std::string schoolDocument()
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SERVICIO><SALIDAS>";
    xml += "<listasal seq=\"MATERIAS\">";
    for (const Subject& s : kSubjects)
        xml += entry({s.id, s.code, s.code + "L", "Nombre " + s.code});
    xml += "</listasal><listasal seq=\"PROFESORES\">";
    for (const Teacher& t : kTeachers)
        xml += entry({t.employee, t.takingOffice, "Nombre " + t.code, t.code});
    xml += "</listasal><listasal seq=\"AULAS\">";
    for (const Room& r : kRooms)
        xml += entry({r.id, r.code, "Aula " + r.code, "A"});
    xml += "</listasal><listasal seq=\"GRUPOS\">";
    for (const Group& g : kGroups)
        xml += entry({g.id, g.code, "M", "ESO", "1", "A"});
    xml += "</listasal><listasal seq=\"ASIGNATURAS\">";
    for (const Assignment& a : kAssignments)
        xml += entry({a.subject, a.group, a.room, "M", "ESO", "1", "A", a.minutes, a.materia});
    xml += "</listasal><listasal seq=\"TRAMOS\">";
    for (const Slot& s : kSlots)
        xml += "<listasal><salida dato=\"CODIGO_DELPHOS\">" + s.code + "</salida><salida dato=\"NOMBRE\">" + s.name
            + "</salida><salida dato=\"INICIO\">08:00</salida><salida dato=\"FIN\">09:00</salida></listasal>";
    return xml + "</listasal></SALIDAS></SERVICIO>\n";
}

struct Placed {
    std::string teacher, subject, room, group;
    int day, hour;
};

// What Aularis would do with the exported tables: each ASIGT row goes to a PROFT teacher
// (the last one keeps none) and to a DIASHORAST slot; one more session stays unplaced (day 0).
std::vector<Placed> timetableFromTables(const fs::path& exchange)
{
    TableComponent proft("wwProft", "PROFT"), asigt("wwAsigt", "ASIGT"), slots("wwSlots", "DIASHORAST");
    proft.open(exchange);
    asigt.open(exchange);
    slots.open(exchange);
    std::vector<std::string> teachers;
    for (proft.first(); !proft.eof(); proft.next())
        teachers.push_back(proft.asString("ABREV"));
    std::vector<std::pair<int, int>> dayHours;
    const std::string letters = "LMXJVSD";
    for (slots.first(); !slots.eof(); slots.next()) {
        const std::string name = slots.asString("DIHO");
        dayHours.emplace_back(static_cast<int>(letters.find(name[0])) + 1, std::stoi(name.substr(1)));
    }
    std::vector<Placed> placed;
    std::size_t n = 0;
    for (asigt.first(); !asigt.eof(); asigt.next(), ++n) {
        const auto [day, hour] = dayHours[n % dayHours.size()];
        placed.push_back({teachers[n % (teachers.size() - 1)], asigt.asString("CASIG"), asigt.asString("CAULA"),
                          asigt.asString("CGRUP"), day, hour});
    }
    placed.push_back({teachers[0], "MAT", "A1", "1A", 0, 0});
    return placed;
}

TEST(ImportRoundTrip, ExportedSchoolComesBackWithItsDelphosIdentifiers)
{
    TempFolder temp;
    const fs::path exchange = temp.path() / "atemp";
    fs::create_directories(exchange);
    const fs::path chosen = temp.path() / "centro.xml";
    writeFile(chosen, schoolDocument());

    runExport(chosen, exchange);
    const std::vector<Placed> timetable = timetableFromTables(exchange);
    Rows rows;
    for (const Placed& p : timetable)
        rows.push_back({p.teacher, std::to_string(p.day), std::to_string(p.hour), p.subject, p.room, p.group});
    writeTable(exchange, "SOLUC", solucLayout(SolucKind::Numeric), kSolucColumns, rows);

    const ImportSummary summary = runImport(chosen, exchange);

    // The expected output, from the document's own data.
    std::string expected = status();
    std::size_t activities = 0;
    for (std::size_t t = 0; t < kTeachers.size(); ++t) {
        expected += teacher(static_cast<int>(t + 1), kTeachers[t].employee, kTeachers[t].takingOffice);
        int number = 1;
        for (const Placed& p : timetable) {
            if (p.teacher != kTeachers[t].code || p.day == 0)
                continue;
            std::string actividad = "G439", materia, unit, roomId, slotCode;
            for (const Subject& s : kSubjects)
                if (s.code == p.subject && s.id.starts_with('G'))
                    actividad = s.id;
            for (const Assignment& a : kAssignments)
                if (a.subject == p.subject && a.group == p.group)
                    materia = a.materia;
            for (const Group& g : kGroups)
                if (g.code == p.group)
                    unit = g.id;
            for (const Room& r : kRooms)
                if (r.code == p.room)
                    roomId = r.id;
            const std::string key = std::string(1, "LMXJVSD"[p.day - 1]) + std::to_string(p.hour);
            for (const Slot& s : kSlots)
                if (s.name == key)
                    slotCode = s.code;
            const std::string day = std::to_string(p.day);
            expected += activity(number++, {actividad, day, slotCode, roomId, unit, materia});
            ++activities;
        }
    }
    EXPECT_EQ(activities, kAssignments.size());
    EXPECT_EQ(summary.teachers, kTeachers.size());
    EXPECT_EQ(summary.activities, activities);
    EXPECT_EQ(outputOutline(summary.resultPath), expected);
    // The document read as the export reads it is untouched by the import.
    EXPECT_EQ(readFile(chosen), schoolDocument());
}

} // namespace
