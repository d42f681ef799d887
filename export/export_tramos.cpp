// SPDX-License-Identifier: MIT
// Purpose: time slots (section TRAMOS) to DIASHORAST, values found by their dato names.
#include "export/conversions.h"
#include "export/table_layouts.h"

#include "formats/day_letters.h"
#include "formats/dbf_table.h"

#include <algorithm>
#include <string>

namespace enlazio {
namespace {

struct Slot {
    std::string name, code, start, end, minutes;
};

std::string dayNumber(std::string_view slotName)
{
    if (slotName.empty())
        return {};
    const int day = dayNumberOfLetter(slotName.front());
    return day == 0 ? std::string(1, slotName.front()) : std::to_string(day);
}

Slot readSlot(const SectionEntries& tramos, std::size_t entry)
{
    Slot slot;
    for (std::size_t v = 0; v < tramos.valueCount(entry); ++v) {
        const auto name = tramos.dato(entry, v);
        if (!name)
            continue; // a value without a name feeds nothing
        std::string* target = *name == "CODIGO_DELPHOS" ? &slot.code
            : (*name == "NOMBRE" || *name == "DIA")     ? &slot.name
            : *name == "INICIO"                         ? &slot.start
            : *name == "FIN"                            ? &slot.end
            : *name == "NINUTOS"                        ? &slot.minutes // Delphos spells it so
                                                        : nullptr;
        if (target)
            *target = tramos.text(entry, v); // a later value of the same name wins
    }
    return slot;
}

} // namespace

std::size_t exportarTramos(const SectionEntries& tramos, const std::filesystem::path& exchange)
{
    createTable(exchange, kTableDiashorast, kDiashorastLayout);
    TableWriter table(exchange, std::string(kTableDiashorast));
    table.open();
    std::size_t written = 0;
    // Every entry gives a record, one without values included: nothing here is validated.
    for (std::size_t i = 0; i < tramos.entryCount(); ++i) {
        const Slot slot = readSlot(tramos, i);
        table.append();
        table.setText("DIHO", slot.name);
        // Derived from the whole name, not from DIHO as cut to its width.
        table.setText("DIA", dayNumber(slot.name));
        const std::string_view name = slot.name;
        table.setText("HORA", name.substr(std::min<std::size_t>(1, name.size()), 2)); // 2nd and 3rd characters
        table.setText("CODDIHO", slot.code);
        table.setText("HORADESDE", slot.start);
        table.setText("HORAHASTA", slot.end);
        table.setText("MINUTOS", slot.minutes);
        table.post();
        ++written;
    }
    table.close();
    return written;
}

} // namespace enlazio
