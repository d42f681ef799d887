// SPDX-License-Identifier: MIT
// Purpose: seeded generator of service documents and SOLUC tables for the benchmarks, from one school to a zone of hundreds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace enlazio::bench {

// A zone is a service document that lists the data of several schools one after the
// other, as a regional office would hand it out. Each school is a large secondary school:
// 150 teachers, 60 groups, 1,500 teaching assignments, about 4,000 timetabled sessions.
// Teacher codes are unique in the zone but for a few teachers who work in two schools;
// subject, room, group and slot codes repeat from school to school, so that the first
// entry decides, as it does in the tables.
enum class Encoding { Utf8, Latin1 };

struct ZoneOptions {
    std::size_t schools = 1;
    std::uint64_t seed = 20240916;
    Encoding encoding = Encoding::Utf8;
};

inline constexpr std::size_t kTeachersPerSchool = 150;
inline constexpr std::size_t kAssignmentsPerSchool = 1500;

struct Teacher {
    std::string id, since, name, code;
};
struct Subject {
    std::string id, code, longCode, name;
};
struct Room {
    std::string id, code, name, building;
};
struct Group {
    std::string id, code, shift, level, course, letter;
    std::size_t homeRoom = 0;
};
struct Assignment {
    std::string subjectCode, subjectId, minutes;
    std::size_t group = 0, room = 0, teacher = 0;
    int sessions = 0;
};
struct Slot {
    std::string code, name, start, end, minutes;
};

// Everything of one school; texts in UTF-8.
struct School {
    std::vector<Teacher> teachers;
    std::vector<Subject> subjects;
    std::vector<Room> rooms;
    std::vector<Group> groups;
    std::vector<Assignment> assignments;
    std::vector<Slot> slots;
};

class Zone {
public:
    explicit Zone(const ZoneOptions& options);

    std::size_t schools() const { return m_options.schools; }
    // Schools are built again on demand from the seed and their number, so a zone of
    // hundreds of schools never sits in memory whole.
    School school(std::size_t index) const;

    // Writes the document; returns its size in bytes.
    std::uint64_t writeDocument(const std::filesystem::path& file) const;
    // Writes SOLUC.DBF (dBase III, the layout Aularis writes) with exactly `rows` rows,
    // taken school after school; the zone must hold that many sessions. Returns the rows
    // Aularis left unplaced (DIA 0).
    std::size_t writeSoluc(const std::filesystem::path& file, std::size_t rows) const;
    // Timetabled sessions in the zone: the rows writeSoluc can write.
    std::size_t sessions() const;

private:
    ZoneOptions m_options;
    std::vector<std::vector<std::string>> m_teacherCodes; // per school
    std::vector<std::size_t> m_sessions;                  // per school
};

// Schools needed for a document of at least `bytes` bytes (from the size of one school).
std::size_t schoolsForDocumentBytes(std::uint64_t bytes, const ZoneOptions& options);
// Schools needed for a SOLUC of `rows` rows.
std::size_t schoolsForSolucRows(std::size_t rows, const ZoneOptions& options);

} // namespace enlazio::bench
