// SPDX-License-Identifier: MIT
// Purpose: file input, error collection and error texts shared by the document read and the tree.
#include "formats/xml_support.h"

#include "formats/error.h"

#include <cerrno>
#include <system_error>

namespace enlazio::xml {

std::string displayPath(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string systemReason(int errnoValue)
{
    return std::error_code(errnoValue, std::generic_category()).message();
}

namespace {

// libxml2 quotes up to 50 bytes of the document in some messages, cut anywhere, so a
// message may end inside a character; the user's text must stay UTF-8 on one line.
std::string readableReason(std::string_view message)
{
    std::string out;
    for (std::size_t i = 0; i < message.size();) {
        const auto b = static_cast<unsigned char>(message[i]);
        std::size_t length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        for (std::size_t k = 1; length > 1 && k < length; ++k)
            if (i + k >= message.size() || (static_cast<unsigned char>(message[i + k]) & 0xC0) != 0x80)
                length = 0;
        if (length == 0) {
            out += '?';
            ++i;
        } else {
            out.append(message, i, length);
            i += length;
        }
    }
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    return out;
}

} // namespace

InputFile::InputFile(const std::filesystem::path& path)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        throw Error(ErrorCode::FileNotFound,
                    "No se puede abrir el documento \"" + displayPath(path) + "\": es una carpeta, no un archivo");
    }
#ifdef _WIN32
    m_file = _wfopen(path.c_str(), L"rb");
#else
    m_file = std::fopen(path.c_str(), "rb");
#endif
    if (m_file == nullptr) {
        throw Error(ErrorCode::FileNotFound,
                    "No se puede abrir el documento \"" + displayPath(path) + "\": " + systemReason(errno));
    }
    // libxml2 asks for 4 KB at a time; reading the disk in larger pieces saves most system calls.
    std::setvbuf(m_file, nullptr, _IOFBF, 256 * 1024);
}

InputFile::~InputFile()
{
    if (m_file != nullptr)
        std::fclose(m_file);
}

int InputFile::read(void* context, char* buffer, int length)
{
    auto* self = static_cast<InputFile*>(context);
    if (length <= 0)
        return 0;
    const std::size_t got = std::fread(buffer, 1, static_cast<std::size_t>(length), self->m_file);
    if (got == 0 && std::ferror(self->m_file)) {
        self->m_readErrno = errno != 0 ? errno : EIO;
        return -1;
    }
    self->m_bytesRead += got;
    return static_cast<int>(got);
}

int InputFile::close(void*)
{
    return 0;
}

void ParseErrors::record(const xmlError* error)
{
    if (error == nullptr || m_failed)
        return;
    if (error->level != XML_ERR_ERROR && error->level != XML_ERR_FATAL)
        return;
    m_failed = true;
    m_line = error->line;
    m_reason = error->message != nullptr ? readableReason(error->message) : "";
    while (!m_reason.empty() && m_reason.back() == ' ') // line breaks are spaces by now
        m_reason.pop_back();
    if (m_reason.empty())
        m_reason = "error " + std::to_string(error->code) + " del analizador XML";
    // The limits that protect the tool, said so that the user can tell what is wrong;
    // libxml2 calls any runaway expansion a loop and suggests an option nobody can set here.
    if (error->code == XML_ERR_ENTITY_LOOP)
        m_reason = "las entidades del documento se expanden sin medida, así que no se leen";
    else if (m_reason.starts_with("Excessive depth in document"))
        m_reason = "los elementos se anidan a más de 256 niveles, más de lo que se lee";
    else if (error->code == XML_ERR_DOCUMENT_EMPTY)
        m_reason = "no contiene ningún elemento XML";
}

void ParseErrors::handler(void* self, xmlErrorPtr error)
{
    static_cast<ParseErrors*>(self)->record(error);
}

GlobalErrorCapture::GlobalErrorCapture(ParseErrors& errors)
    : m_previousHandler(xmlStructuredError), m_previousContext(xmlStructuredErrorContext)
{
    xmlSetStructuredErrorFunc(&errors, &ParseErrors::handler);
}

GlobalErrorCapture::~GlobalErrorCapture()
{
    xmlSetStructuredErrorFunc(m_previousContext, m_previousHandler);
}

namespace {

[[noreturn]] void throwWithLine(std::string message, int line, std::string_view reason)
{
    if (line > 0)
        message += " (línea " + std::to_string(line) + ")";
    message += ": ";
    message += reason;
    throw Error(ErrorCode::XmlParse, message);
}

} // namespace

void throwParseError(const std::filesystem::path& file, int line, std::string_view reason)
{
    throwWithLine("El documento \"" + displayPath(file) + "\" no es un XML bien formado", line, reason);
}

void throwUnreadable(const std::filesystem::path& file, int line, std::string_view reason)
{
    throwWithLine("No se puede leer el documento \"" + displayPath(file) + "\"", line, reason);
}

void throwParseError(const std::filesystem::path& file, const ParseErrors& errors, const InputFile& input)
{
    if (input.readError() != 0)
        throwUnreadable(file, 0, systemReason(input.readError()));
    if (input.empty())
        throwParseError(file, 0, "el archivo está vacío");
    if (errors.failed())
        throwParseError(file, errors.line(), errors.reason());
    throwParseError(file, 0, "el analizador XML se detuvo sin dar el motivo");
}

std::string_view trimControlAndSpace(std::string_view utf8)
{
    std::size_t begin = 0;
    std::size_t end = utf8.size();
    while (begin < end && static_cast<unsigned char>(utf8[begin]) <= 0x20)
        ++begin;
    while (end > begin && static_cast<unsigned char>(utf8[end - 1]) <= 0x20)
        --end;
    return utf8.substr(begin, end - begin);
}

} // namespace enlazio::xml
