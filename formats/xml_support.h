// SPDX-License-Identifier: MIT
// Purpose: what the streaming read and the document tree share: safe parser options, file input and error texts.
#pragma once

#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace enlazio::xml {

// No network, no entity substitution (XML_PARSE_NOENT would let a SYSTEM entity read local
// files), no external DTD, no XML_PARSE_HUGE: libxml2's own size and depth limits stay on.
inline constexpr int kSafeParseOptions = XML_PARSE_NONET;

// The path as the user reads it, in UTF-8.
std::string displayPath(const std::filesystem::path& path);

// The system's text for an errno value.
std::string systemReason(int errnoValue);

// An open document file that libxml2 reads through the callbacks below. Throws
// Error(FileNotFound) with the system's reason when the file cannot be opened.
class InputFile {
public:
    explicit InputFile(const std::filesystem::path& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    static int read(void* context, char* buffer, int length); // xmlInputReadCallback
    static int close(void* context);                           // xmlInputCloseCallback: no-op, the destructor closes
    int readError() const { return m_readErrno; }              // errno of a failed read, 0 if none
    bool empty() const { return m_bytesRead == 0; }

private:
    std::FILE* m_file = nullptr;
    int m_readErrno = 0;
    std::size_t m_bytesRead = 0;
};

// Frees a parser context and any document it still holds (a DTD read for its entities).
struct ParserDeleter {
    void operator()(xmlParserCtxt* parser) const
    {
        if (parser->myDoc != nullptr)
            xmlFreeDoc(parser->myDoc);
        parser->myDoc = nullptr;
        xmlFreeParserCtxt(parser);
    }
};

// Collects the first error that makes the document unusable: libxml2's fatal errors and
// errors (namespace errors included), not its warnings.
class ParseErrors {
public:
    void record(const xmlError* error);
    bool failed() const { return m_failed; }
    int line() const { return m_line; }
    const std::string& reason() const { return m_reason; }

    static void handler(void* self, xmlErrorPtr error); // xmlStructuredErrorFunc with self = ParseErrors*

private:
    bool m_failed = false;
    int m_line = 0;
    std::string m_reason;
};

// For its lifetime, libxml2's errors that belong to no parser (output, encodings, I/O) go
// to `errors` instead of standard error. The handler is per thread in libxml2.
class GlobalErrorCapture {
public:
    explicit GlobalErrorCapture(ParseErrors& errors);
    ~GlobalErrorCapture();
    GlobalErrorCapture(const GlobalErrorCapture&) = delete;
    GlobalErrorCapture& operator=(const GlobalErrorCapture&) = delete;

private:
    xmlStructuredErrorFunc m_previousHandler;
    void* m_previousContext;
};

// Throws Error(XmlParse): the file, the parser's line and its reason, in one Spanish sentence.
[[noreturn]] void throwParseError(const std::filesystem::path& file, int line, std::string_view reason);
// Throws Error(XmlParse) for a well-formed document that cannot be read safely.
[[noreturn]] void throwUnreadable(const std::filesystem::path& file, int line, std::string_view reason);
// Same as throwParseError, from what ParseErrors collected (or from a failed read, or a bare failure).
[[noreturn]] void throwParseError(const std::filesystem::path& file, const ParseErrors& errors, const InputFile& input);

// Every code unit up to U+0020 removed at both ends. In UTF-8 those are exactly the bytes
// up to 0x20, since every byte of a multi-byte sequence is 0x80 or more.
std::string_view trimControlAndSpace(std::string_view utf8);

} // namespace enlazio::xml
