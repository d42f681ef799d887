// SPDX-License-Identifier: MIT
// Purpose: the one error type of the core: a code for the front ends plus the user's text.
#pragma once

#include <stdexcept>
#include <string>

namespace enlazio {

enum class ErrorCode {
    FileNotFound,     // the chosen document or a table does not exist
    XmlParse,         // the document is not well-formed XML
    XmlStructure,     // well-formed, but the envelope cannot be rewritten (no root, no SALIDAS)
    XmlWrite,         // the result document could not be saved
    TableIo,          // reading, writing, creating or deleting a table file failed
    TableFormat,      // a table file whose header or records cannot be true
    TableLocked,      // another instance holds the table open
    FieldNotFound,    // "<component>: No se encuentra el campo 'X'"
    InvalidInteger,   // "'%s' no es un valor entero válido"
    SettingsWrite,    // "Unable to write to <path>"
    Internal,
};

// what() is the text the user reads, in UTF-8, complete with its context
// (file, table, record, field) and the operating system's reason where one exists.
class Error : public std::runtime_error {
public:
    Error(ErrorCode code, const std::string& message) : std::runtime_error(message), m_code(code) {}
    ErrorCode code() const noexcept { return m_code; }

private:
    ErrorCode m_code;
};

} // namespace enlazio
