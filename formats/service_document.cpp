// SPDX-License-Identifier: MIT
// Purpose: the service document as a tree for the import: load safely, rewrite, save atomically.
#include "formats/service_document.h"

#include "formats/codepage.h"
#include "formats/error.h"
#include "formats/xml_support.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>
#include <unordered_set>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace enlazio {

struct ServiceDocument::Impl {
    xmlDocPtr doc = nullptr;
    std::filesystem::path source;
    // Elements created and not yet appended, and subtrees removed from the tree: the
    // caller may still hold them, so they live as long as the document.
    std::unordered_set<xmlNodePtr> detached;

    ~Impl()
    {
        // Freed before the document: their names may live in the document's dictionary.
        for (xmlNodePtr node : detached)
            xmlFreeNode(node);
        if (doc != nullptr)
            xmlFreeDoc(doc);
    }
};

namespace {

xmlNodePtr toXml(XmlNode* node)
{
    return reinterpret_cast<xmlNodePtr>(node);
}

XmlNode* fromXml(xmlNodePtr node)
{
    return reinterpret_cast<XmlNode*>(node);
}

const xmlChar* xmlText(const std::string& text)
{
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

std::string nodeName(const xmlNode* node)
{
    return node != nullptr && node->name != nullptr ? reinterpret_cast<const char*>(node->name) : std::string();
}

// Appends rather than "<" + name: GCC 12 warns falsely (-Wrestrict) on that form.
std::string tagOf(const xmlNode* node)
{
    std::string tag("<");
    tag += nodeName(node);
    tag += '>';
    return tag;
}

std::string hiddenName(const std::filesystem::path& fileName, const std::string& suffix)
{
    std::string name(".");
    name += xml::displayPath(fileName);
    name += '.';
    name += suffix;
    name += ".tmp";
    return name;
}

xmlNodePtr requireElement(XmlNode* node, const char* operation)
{
    xmlNodePtr element = toXml(node);
    if (element == nullptr || element->type != XML_ELEMENT_NODE) {
        throw Error(ErrorCode::XmlStructure,
                    std::string("Documento de servicio: ") + operation + " necesita un elemento y no lo tiene");
    }
    return element;
}

void requireValidName(std::string_view name, const char* what)
{
    // The import names the same few elements and attributes over and over: the last
    // names found valid are not checked again.
    thread_local std::array<std::string, 4> known;
    thread_local std::size_t nextKnown = 0;
    for (const std::string& valid : known)
        if (!valid.empty() && valid == name)
            return;
    const std::string text(name);
    if (text.empty() || text.find('\0') != std::string::npos || xmlValidateName(xmlText(text), 0) != 0) {
        throw Error(ErrorCode::Internal, std::string("Nombre de ") + what + " no válido en XML: \"" + text + "\"");
    }
    known[nextKnown++ % known.size()] = text;
}

// 8-bit text to UTF-8 for the tree. XML 1.0 has no way to write the control characters
// other than tab, line feed and carriage return; a document holding one could not be read
// back, so such a text is refused rather than saved broken.
// `where` names the place for the message, and is only asked when there is one to give.
template <typename Where>
std::string ansiToXmlText(std::string_view ansi, Where where)
{
    for (const char c : ansi) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') {
            char code[8];
            std::snprintf(code, sizeof code, "%02X", byte);
            throw Error(ErrorCode::XmlWrite, "El texto de " + where() + " contiene el carácter de control 0x" + code +
                                                 ", que un documento XML no puede guardar");
        }
    }
    return codePageToUtf8(ansi);
}

// What a load keeps beside the parser: the errors, and for a load that leaves out the
// output part, where the parse stands and libxml2's own tree builders.
struct LoadState {
    xml::ParseErrors errors;
    xmlSAXHandler builders {};
    int depth = 0;           // open elements kept in the tree: the root is 1
    int skipped = 0;         // open elements inside the output part left out, itself included
    bool outputPartSeen = false;
};

void parseErrorHandler(void* context, xmlErrorPtr error)
{
    auto* parser = static_cast<xmlParserCtxtPtr>(context);
    static_cast<LoadState*>(parser->_private)->errors.record(error);
}

LoadState& stateOf(void* context)
{
    return *static_cast<LoadState*>(static_cast<xmlParserCtxtPtr>(context)->_private);
}

// The tree builders, called for everything but the content of the first SALIDAS under the
// root. The parser checks that content as always; only no node is made of it.
void startElementLeavingOut(void* context, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri,
                            int namespaceCount, const xmlChar** namespaces, int attributeCount, int defaultedCount,
                            const xmlChar** attributes)
{
    LoadState& state = stateOf(context);
    if (state.skipped > 0) {
        ++state.skipped;
        return;
    }
    state.builders.startElementNs(context, localname, prefix, uri, namespaceCount, namespaces, attributeCount,
                                  defaultedCount, attributes);
    ++state.depth;
    if (state.depth == 2 && !state.outputPartSeen && prefix == nullptr && uri == nullptr
        && std::strcmp(reinterpret_cast<const char*>(localname), "SALIDAS") == 0) {
        state.outputPartSeen = true;
        state.skipped = 1;
    }
}

void endElementLeavingOut(void* context, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri)
{
    LoadState& state = stateOf(context);
    if (state.skipped > 1) {
        --state.skipped;
        return;
    }
    state.skipped = 0; // the output part's own end, or an element kept
    --state.depth;
    state.builders.endElementNs(context, localname, prefix, uri);
}

void charactersLeavingOut(void* context, const xmlChar* text, int length)
{
    if (stateOf(context).skipped == 0)
        stateOf(context).builders.characters(context, text, length);
}

void blanksLeavingOut(void* context, const xmlChar* text, int length)
{
    if (stateOf(context).skipped == 0)
        stateOf(context).builders.ignorableWhitespace(context, text, length);
}

void cdataLeavingOut(void* context, const xmlChar* text, int length)
{
    if (stateOf(context).skipped == 0)
        stateOf(context).builders.cdataBlock(context, text, length);
}

void referenceLeavingOut(void* context, const xmlChar* name)
{
    if (stateOf(context).skipped == 0)
        stateOf(context).builders.reference(context, name);
}

void commentLeavingOut(void* context, const xmlChar* text)
{
    if (stateOf(context).skipped == 0)
        stateOf(context).builders.comment(context, text);
}

void instructionLeavingOut(void* context, const xmlChar* target, const xmlChar* data)
{
    if (stateOf(context).skipped == 0)
        stateOf(context).builders.processingInstruction(context, target, data);
}

// The file being written: created new next to the target, removed unless it was renamed.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::filesystem::path& target)
    {
        static std::atomic<unsigned> counter{0};
        std::random_device random;
        const std::filesystem::path folder = target.parent_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string suffix = std::to_string(random()) + "-" + std::to_string(counter++);
            const std::filesystem::path candidate =
                folder / std::filesystem::path(hiddenName(target.filename(), suffix));
#ifdef _WIN32
            m_file = _wfopen(candidate.c_str(), L"wbx");
            const int failure = errno;
#else
            const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            const int failure = errno;
            if (fd >= 0) {
                m_file = ::fdopen(fd, "wb");
                if (m_file == nullptr) {
                    const int fdopenFailure = errno;
                    ::close(fd);
                    std::filesystem::remove(candidate);
                    m_error = fdopenFailure;
                    return;
                }
            }
#endif
            if (m_file != nullptr) {
                m_path = candidate;
                return;
            }
            if (failure != EEXIST) {
                m_error = failure;
                return;
            }
        }
        m_error = EEXIST;
    }

    ~TemporaryFile()
    {
        if (m_file != nullptr)
            std::fclose(m_file);
        if (!m_path.empty() && !m_renamed) {
            std::error_code ignored;
            std::filesystem::remove(m_path, ignored);
        }
    }

    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool opened() const { return m_file != nullptr; }
    int error() const { return m_error; }

    static int write(void* context, const char* buffer, int length)
    {
        auto* self = static_cast<TemporaryFile*>(context);
        if (length <= 0)
            return 0;
        if (std::fwrite(buffer, 1, static_cast<std::size_t>(length), self->m_file) != static_cast<std::size_t>(length)) {
            self->m_error = errno != 0 ? errno : EIO;
            return -1;
        }
        return length;
    }

    static int close(void*) { return 0; } // closed by commit() or the destructor

    // Flushes to the disk and closes; the file is then complete or this returns false.
    bool finish()
    {
        bool ok = std::fflush(m_file) == 0;
        if (!ok && m_error == 0)
            m_error = errno;
#ifdef _WIN32
        if (ok && _commit(_fileno(m_file)) != 0) {
#else
        if (ok && ::fsync(::fileno(m_file)) != 0) {
#endif
            ok = false;
            m_error = errno;
        }
        if (std::fclose(m_file) != 0 && ok) {
            ok = false;
            m_error = errno;
        }
        m_file = nullptr;
        return ok;
    }

    void renameTo(const std::filesystem::path& target, std::error_code& ec)
    {
        std::filesystem::rename(m_path, target, ec);
        if (!ec)
            m_renamed = true;
    }

private:
    std::FILE* m_file = nullptr;
    std::filesystem::path m_path;
    int m_error = 0;
    bool m_renamed = false;
};

// Whether a document written in this encoding can be read again. A reader has to find the
// XML declaration first, and some encodings libxml2 writes (UTF-7, for one) hide it from
// every reader; a small document saved and parsed back tells.
bool readsBack(const std::string& encoding)
{
    xml::ParseErrors ignored;
    xml::GlobalErrorCapture capture(ignored);
    xmlDocPtr probe = xmlNewDoc(xmlText("1.0"));
    xmlDocSetRootElement(probe, xmlNewDocNode(probe, nullptr, xmlText("SERVICIO"), xmlText("a")));
    xmlBufferPtr buffer = xmlBufferCreate();
    bool ok = false;
    if (xmlSaveCtxtPtr saver = xmlSaveToBuffer(buffer, encoding.c_str(), 0)) {
        const bool written = xmlSaveDoc(saver, probe) >= 0;
        if (xmlSaveClose(saver) >= 0 && written) {
            xmlDocPtr again = xmlReadMemory(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                                            xmlBufferLength(buffer), nullptr, nullptr, xml::kSafeParseOptions);
            const xmlNode* root = xmlDocGetRootElement(again);
            ok = root != nullptr && nodeName(root) == "SERVICIO" && !ignored.failed();
            xmlFreeDoc(again);
        }
    }
    xmlBufferFree(buffer);
    xmlFreeDoc(probe);
    return ok;
}

[[noreturn]] void throwWriteError(const std::filesystem::path& target, const std::string& reason)
{
    throw Error(ErrorCode::XmlWrite, "No se pudo guardar el documento \"" + xml::displayPath(target) + "\": " + reason);
}

} // namespace

ServiceDocument ServiceDocument::load(const std::filesystem::path& file)
{
    return loadDocument(file, false);
}

ServiceDocument ServiceDocument::loadWithoutOutputPart(const std::filesystem::path& file)
{
    return loadDocument(file, true);
}

ServiceDocument ServiceDocument::loadDocument(const std::filesystem::path& file, bool leaveOutOutputPart)
{
    xml::InputFile input(file);
    LoadState state;
    xml::GlobalErrorCapture capture(state.errors);
    std::unique_ptr<xmlParserCtxt, xml::ParserDeleter> parser(xmlNewParserCtxt());
    if (!parser)
        throw Error(ErrorCode::Internal, "No se pudo preparar el analizador XML");
    parser->_private = &state;
    parser->sax->serror = &parseErrorHandler;
    if (leaveOutOutputPart) {
        state.builders = *parser->sax;
        parser->sax->startElementNs = &startElementLeavingOut;
        parser->sax->endElementNs = &endElementLeavingOut;
        parser->sax->characters = &charactersLeavingOut;
        parser->sax->ignorableWhitespace = &blanksLeavingOut;
        parser->sax->cdataBlock = &cdataLeavingOut;
        parser->sax->reference = &referenceLeavingOut;
        parser->sax->comment = &commentLeavingOut;
        parser->sax->processingInstruction = &instructionLeavingOut;
    }

    const std::string url = xml::displayPath(file);
    xmlDocPtr doc = xmlCtxtReadIO(parser.get(), &xml::InputFile::read, &xml::InputFile::close, &input, url.c_str(),
                                  nullptr, xml::kSafeParseOptions);
    if (doc == nullptr || state.errors.failed() || input.readError() != 0) {
        if (doc != nullptr)
            xmlFreeDoc(doc);
        xml::throwParseError(file, state.errors, input);
    }

    ServiceDocument document;
    document.m_impl = std::make_unique<Impl>();
    document.m_impl->doc = doc;
    document.m_impl->source = file;
    return document;
}

ServiceDocument::ServiceDocument(ServiceDocument&&) noexcept = default;
ServiceDocument& ServiceDocument::operator=(ServiceDocument&&) noexcept = default;
ServiceDocument::~ServiceDocument() = default;

XmlNode* ServiceDocument::documentElement() const
{
    return fromXml(xmlDocGetRootElement(m_impl->doc));
}

XmlNode* ServiceDocument::selectSingleChild(XmlNode* parent, std::string_view name) const
{
    xmlNodePtr element = toXml(parent);
    if (element == nullptr)
        return nullptr;
    for (xmlNodePtr child = element->children; child != nullptr; child = child->next) {
        // Like the XPath step "SALIDAS": an element of exactly that name, in no namespace.
        if (child->type == XML_ELEMENT_NODE && child->ns == nullptr && nodeName(child) == name)
            return fromXml(child);
    }
    return nullptr;
}

void ServiceDocument::removeChild(XmlNode* parent, XmlNode* child)
{
    xmlNodePtr element = requireElement(parent, "quitar un nodo");
    xmlNodePtr node = toXml(child);
    if (node == nullptr || node->parent != element) {
        throw Error(ErrorCode::XmlStructure,
                    "Documento de servicio: el nodo que se quiere quitar no es hijo de <" + nodeName(element) + ">");
    }
    xmlUnlinkNode(node);
    m_impl->detached.insert(node);
}

XmlNode* ServiceDocument::createElement(std::string_view name)
{
    requireValidName(name, "elemento");
    const std::string text(name);
    xmlNodePtr node = xmlNewDocNode(m_impl->doc, nullptr, xmlText(text), nullptr);
    if (node == nullptr)
        throw Error(ErrorCode::Internal, "Sin memoria para crear el elemento <" + text + ">");
    m_impl->detached.insert(node);
    return fromXml(node);
}

void ServiceDocument::setAttribute(XmlNode* element, std::string_view name, std::string_view ansiValue)
{
    xmlNodePtr node = requireElement(element, "poner un atributo");
    requireValidName(name, "atributo");
    const std::string attributeName(name);
    const std::string value =
        ansiToXmlText(ansiValue, [&] { return "el atributo " + attributeName + " de <" + nodeName(node) + ">"; });
    // xmlSetProp stores the value as literal text; the writer escapes it.
    if (xmlSetProp(node, xmlText(attributeName), xmlText(value)) == nullptr)
        throw Error(ErrorCode::Internal, "Sin memoria para el atributo " + attributeName);
}

void ServiceDocument::setText(XmlNode* element, std::string_view ansiText)
{
    xmlNodePtr node = requireElement(element, "poner un texto");
    const std::string text = ansiToXmlText(ansiText, [&] { return tagOf(node); });
    // Not xmlNodeSetContent with the text: it would read '&' as the start of an entity reference.
    xmlNodeSetContent(node, nullptr);
    if (text.empty())
        return;
    xmlNodePtr textNode = xmlNewDocTextLen(node->doc, xmlText(text), static_cast<int>(text.size()));
    if (textNode == nullptr || xmlAddChild(node, textNode) == nullptr) {
        xmlFreeNode(textNode);
        throw Error(ErrorCode::Internal, "Sin memoria para el texto de <" + nodeName(node) + ">");
    }
}

void ServiceDocument::appendChild(XmlNode* parent, XmlNode* child)
{
    xmlNodePtr element = requireElement(parent, "añadir un nodo");
    xmlNodePtr node = requireElement(child, "añadir un nodo");
    for (xmlNodePtr ancestor = element; ancestor != nullptr; ancestor = ancestor->parent) {
        if (ancestor == node) {
            throw Error(ErrorCode::XmlStructure,
                        "Documento de servicio: <" + nodeName(node) + "> no puede ir dentro de sí mismo");
        }
    }
    if (node->doc != element->doc)
        throw Error(ErrorCode::XmlStructure, "Documento de servicio: el nodo es de otro documento");
    xmlUnlinkNode(node);
    if (xmlAddChild(element, node) == nullptr)
        throw Error(ErrorCode::Internal, "No se pudo añadir <" + nodeName(node) + "> a <" + nodeName(element) + ">");
    m_impl->detached.erase(node);
}

void ServiceDocument::save(const std::filesystem::path& target) const
{
    std::error_code ec;
    if (std::filesystem::equivalent(target, m_impl->source, ec)) {
        throwWriteError(target, "es el documento de origen, que no se modifica");
    }
    const std::string declared = declaredEncoding();
    // A declared encoding that would hide the result from its readers gives way to UTF-8;
    // the result then declares UTF-8.
    const std::string encoding = declared.empty() || !readsBack(declared) ? std::string("UTF-8") : declared;

    xml::ParseErrors libxmlErrors;
    xml::GlobalErrorCapture capture(libxmlErrors);
    TemporaryFile temporary(target);
    if (!temporary.opened())
        throwWriteError(target, "no se puede crear un archivo en su carpeta: " + xml::systemReason(temporary.error()));

    // Characters the encoding lacks come out as character references. No reformatting:
    // what the import keeps is written as it was loaded, blanks included.
    xmlSaveCtxtPtr saver =
        xmlSaveToIO(&TemporaryFile::write, &TemporaryFile::close, &temporary, encoding.c_str(), 0);
    if (saver == nullptr)
        throwWriteError(target, "la codificación \"" + encoding + "\" no está disponible");
    const long written = xmlSaveDoc(saver, m_impl->doc);
    const int closed = xmlSaveClose(saver);
    if (written < 0 || closed < 0 || temporary.error() != 0) {
        throwWriteError(target, temporary.error() != 0 ? xml::systemReason(temporary.error())
                                : libxmlErrors.failed() ? libxmlErrors.reason()
                                                        : std::string("libxml2 no pudo escribir el documento"));
    }
    if (!temporary.finish())
        throwWriteError(target, xml::systemReason(temporary.error()));
    temporary.renameTo(target, ec);
    if (ec)
        throwWriteError(target, ec.message());
}

std::string ServiceDocument::declaredEncoding() const
{
    return m_impl->doc->encoding != nullptr ? reinterpret_cast<const char*>(m_impl->doc->encoding) : std::string();
}

} // namespace enlazio
