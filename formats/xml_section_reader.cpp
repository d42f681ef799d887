// SPDX-License-Identifier: MIT
// Purpose: the export's read of the service document: one streaming pass that keeps only the six sections' values.
#include "formats/codepage.h"
#include "formats/error.h"
#include "formats/service_document.h"
#include "formats/xml_support.h"

#include <libxml/entities.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/SAX2.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace enlazio {

// ---- BulkAllocator -----------------------------------------------------------------------

namespace {

constexpr std::size_t kHugePage = 2 * 1024 * 1024;

std::size_t bulkBytes(std::size_t bytes)
{
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

} // namespace

template <typename T>
T* BulkAllocator<T>::allocate(std::size_t n)
{
    if (n > SIZE_MAX / sizeof(T))
        throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (n * sizeof(T) >= kHugePage) {
        void* p = ::mmap(nullptr, bulkBytes(n * sizeof(T)), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
        ::madvise(p, bulkBytes(n * sizeof(T)), MADV_HUGEPAGE); // a hint: without huge pages it works as before
        return static_cast<T*>(p);
    }
#endif
    return std::allocator<T>().allocate(n);
}

template <typename T>
void BulkAllocator<T>::deallocate(T* p, std::size_t n) noexcept
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (n * sizeof(T) >= kHugePage) {
        ::munmap(p, bulkBytes(n * sizeof(T)));
        return;
    }
#endif
    std::allocator<T>().deallocate(p, n);
}

template struct BulkAllocator<char>;
template struct BulkAllocator<SectionEntries::Value>;

// ---- SectionEntries -------------------------------------------------------------------

std::size_t SectionEntries::entryCount() const
{
    return m_entryStart.size();
}

std::size_t SectionEntries::valueCount(std::size_t entry) const
{
    if (entry >= m_entryStart.size())
        return 0;
    const std::size_t end = entry + 1 < m_entryStart.size() ? m_entryStart[entry + 1] : m_values.size();
    return end - m_entryStart[entry];
}

std::size_t SectionEntries::valueIndex(std::size_t entry, std::size_t position) const
{
    return m_entryStart[entry] + position;
}

std::string_view SectionEntries::text(std::size_t entry, std::size_t position) const
{
    if (position >= valueCount(entry))
        return {};
    const std::size_t i = valueIndex(entry, position);
    const std::size_t begin = m_values[i].textOffset;
    const std::size_t end = i + 1 < m_values.size() ? m_values[i + 1].textOffset : m_arena.size();
    return std::string_view(m_arena).substr(begin, end - begin);
}

std::optional<std::string_view> SectionEntries::dato(std::size_t entry, std::size_t position) const
{
    if (position >= valueCount(entry))
        return std::nullopt;
    const std::uint32_t dato = m_values[valueIndex(entry, position)].dato;
    if (dato == kNoDato)
        return std::nullopt;
    return std::string_view(m_datoArena).substr(m_datos[dato].first, m_datos[dato].second);
}

namespace {

// Value indexes are 32-bit.
void checkValueRoom(std::size_t values)
{
    if (values >= std::numeric_limits<std::uint32_t>::max())
        throw Error(ErrorCode::XmlStructure, "El documento tiene demasiados valores para leerlos");
}

// Offsets are 32-bit, and kNoDato stays out of their range.
void checkArenaRoom(std::size_t used, std::size_t more)
{
    if (more >= SIZE_MAX / 2 || used + more >= std::numeric_limits<std::uint32_t>::max())
        throw Error(ErrorCode::XmlStructure, "El documento tiene más de 4 GB de texto en sus secciones; no se puede leer");
}

} // namespace

void SectionEntries::beginEntry()
{
    checkValueRoom(m_values.size());
    m_entryStart.push_back(static_cast<std::uint32_t>(m_values.size()));
}

void SectionEntries::addValue(std::optional<std::string_view> ansiDato, std::string_view ansiText)
{
    checkArenaRoom(m_arena.size(), ansiText.size());
    const std::size_t offset = m_arena.size();
    m_arena.append(ansiText);
    pushValue(ansiDato, offset);
}

void SectionEntries::addUtf8Value(std::optional<std::string_view> ansiDato, std::string_view utf8Text)
{
    const std::size_t offset = m_arena.size();
    m_arena.resize(offset + utf8Text.size());
    m_arena.resize(offset + utf8ToCodePage(utf8Text, kAnsiCodePage, m_arena.data() + offset));
    try {
        checkArenaRoom(offset, m_arena.size() - offset);
    } catch (...) {
        m_arena.resize(offset);
        throw;
    }
    pushValue(ansiDato, offset);
}

void SectionEntries::pushValue(std::optional<std::string_view> ansiDato, std::size_t textOffset)
{
    try {
        if (m_entryStart.empty())
            beginEntry();
        checkValueRoom(m_values.size());
        const std::uint32_t dato = ansiDato ? storeDato(*ansiDato) : kNoDato;
        m_values.push_back({static_cast<std::uint32_t>(textOffset), dato});
    } catch (...) {
        m_arena.resize(textOffset); // the text belongs to no value
        throw;
    }
}

std::uint32_t SectionEntries::storeDato(std::string_view dato)
{
    // Entries name their values in the same order, so the search starts after the name
    // found last and mostly ends at its first try.
    const std::size_t shared = std::min(m_datos.size(), kSharedDatoLimit);
    for (std::size_t k = 0; k < shared; ++k) {
        const std::size_t i = (m_nextSharedDato + k) % shared;
        if (std::string_view(m_datoArena).substr(m_datos[i].first, m_datos[i].second) == dato) {
            m_nextSharedDato = i + 1;
            return static_cast<std::uint32_t>(i);
        }
    }
    // A name past the shared ones is stored with its value each time, as it comes.
    checkArenaRoom(m_datoArena.size(), dato.size());
    m_datos.emplace_back(static_cast<std::uint32_t>(m_datoArena.size()), static_cast<std::uint32_t>(dato.size()));
    m_datoArena.append(dato);
    return static_cast<std::uint32_t>(m_datos.size() - 1);
}

// ---- the streaming read ---------------------------------------------------------------
//
// libxml2's SAX2 events, without building any node: the parser's own pass over the file is
// most of the cost, and nothing is kept but the values. Entity references are not
// substituted by the parser (that would also load external entities); libxml2 hands the
// content of an internal entity to the same callbacks, from a parser context of its own,
// and then reports the reference itself.

namespace {

bool named(const xmlChar* localname, const xmlChar* uri, const char* name)
{
    // The section queries are XPath name tests: exact names, and no namespace.
    return uri == nullptr && std::strcmp(reinterpret_cast<const char*>(localname), name) == 0;
}

struct SectionName {
    const char* seq;
    SectionEntries ServiceSections::*entries;
};

constexpr std::array<SectionName, 6> kSections{{
    {"MATERIAS", &ServiceSections::materias},
    {"PROFESORES", &ServiceSections::profesores},
    {"AULAS", &ServiceSections::aulas},
    {"GRUPOS", &ServiceSections::grupos},
    {"ASIGNATURAS", &ServiceSections::asignaturas},
    {"TRAMOS", &ServiceSections::tramos},
}};

// Depths of the envelope: SERVICIO 0, SALIDAS 1, section 2, entry 3, value 4.
enum Depth { kRoot = 0, kOutputPart = 1, kSection = 2, kEntry = 3, kValue = 4 };

// Attributes as SAX2 hands them: five pointers each (local name, prefix, URI, value, end).
// Those that the DTD supplies by default come last: the document's tree does not hold
// them, but its xml:space lookup does see them.
struct Attributes {
    const xmlChar** items;
    int count;          // those written in the document
    int withDefaults;   // and those the DTD adds

    const xmlChar* const* find(const char* name) const
    {
        for (int i = 0; i < count; ++i) {
            const xmlChar* const* attribute = items + 5 * i;
            if (attribute[2] == nullptr && std::strcmp(reinterpret_cast<const char*>(attribute[0]), name) == 0)
                return attribute;
        }
        return nullptr;
    }
};

// What one read keeps, reached from every parser context (the document's and those of
// entity contents) through their _private pointer.
class SectionRead {
public:
    // libxml2's own bound for one text node without XML_PARSE_HUGE, applied to all the text
    // that entity references produce: libxml2 rejects entity loops but not a document that
    // repeats a large entity many times.
    static constexpr std::size_t kMaxExpandedBytes = XML_MAX_TEXT_LENGTH;
    static constexpr std::size_t kMaxTextBytes = XML_MAX_TEXT_LENGTH;
    static constexpr int kMaxEntityDepth = 40;

    explicit SectionRead(const std::filesystem::path& file) : m_file(file) {}

    void attach(xmlParserCtxtPtr document) { m_document = document; }
    xml::ParseErrors& errors() { return m_errors; }
    bool stopped() const { return m_stopped; }
    void rethrowFailure() const
    {
        if (m_failure)
            std::rethrow_exception(m_failure);
    }
    ServiceSections takeSections() { return std::move(m_sections); }

    // Ends the read at the first failure: no exception may cross libxml2's frames, so it
    // waits here until the parser has returned.
    void fail(xmlParserCtxtPtr context, std::exception_ptr failure)
    {
        if (!m_failure)
            m_failure = std::move(failure);
        stop(context);
    }

    void stop(xmlParserCtxtPtr context)
    {
        m_stopped = true;
        xmlStopParser(context);
        if (context != m_document)
            xmlStopParser(m_document);
    }

    // ---- events ----

    void startElement(xmlParserCtxtPtr context, const xmlChar* localname, const xmlChar* uri, Attributes attributes)
    {
        endTextRun();
        if (context != m_document)
            return; // an element inside an entity's content only carries text
        ++m_depth;
        m_preserve.push_back(spaceOf(attributes, preserving()));
        // Each element decides its own state from its parent's, which is always the latest
        // element one level up; so the state needs no stack.
        switch (m_depth) {
        case kRoot:
            m_rootMatches = named(localname, uri, "SERVICIO");
            break;
        case kOutputPart:
            m_inOutputPart = m_rootMatches && named(localname, uri, "SALIDAS");
            break;
        case kSection:
            m_section = m_inOutputPart && named(localname, uri, "listasal") ? sectionFor(attributes) : nullptr;
            break;
        case kEntry:
            m_inEntry = m_section != nullptr && named(localname, uri, "listasal");
            if (m_inEntry)
                m_section->beginEntry();
            break;
        case kValue:
            if (m_inEntry && named(localname, uri, "salida")) {
                m_inValue = true;
                m_hasDato = false;
                if (const xmlChar* const* dato = attributes.find("dato")) {
                    m_hasDato = true;
                    m_ansiDato.clear();
                    appendUtf8AsCodePage(m_ansiDato, attributeValue(dato));
                }
            }
            break;
        default:
            break;
        }
    }

    void endElement(xmlParserCtxtPtr context)
    {
        endTextRun();
        if (context != m_document)
            return;
        if (m_inValue && m_depth == kValue)
            finishValue();
        m_preserve.pop_back();
        --m_depth;
    }

    // Character data, white space included, in as many pieces as the parser likes. One run
    // of it is one text node of the document's tree: a run of XML blanks alone is dropped,
    // as the document's default load does, unless xml:space="preserve" holds.
    void characters(xmlParserCtxtPtr context, const xmlChar* text, int length)
    {
        const std::string_view piece(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
        if (context != m_document)
            countExpanded(piece.size());
        if (!m_inRun || context != m_runContext) {
            endTextRun();
            m_inRun = true;
            m_runContext = context;
            m_runStart = m_valueText.size();
            m_runLength = 0;
            m_runBlank = true;
        }
        // The document's tree refuses a text node past this size; so does this read, in or
        // out of a value.
        m_runLength += piece.size();
        if (m_runLength > kMaxTextBytes) {
            xml::throwUnreadable(m_file, line(),
                                 "un texto del documento pasa de " + std::to_string(kMaxTextBytes) +
                                     " bytes, más de lo que se lee");
        }
        if (!m_inValue)
            return;
        if (m_runBlank && piece.find_first_not_of(" \t\n\r") != std::string_view::npos)
            m_runBlank = false;
        m_valueText.append(piece);
    }

    void cdata(xmlParserCtxtPtr context, const xmlChar* text, int length)
    {
        endTextRun();
        if (context != m_document)
            countExpanded(static_cast<std::size_t>(length));
        if (m_inValue)
            m_valueText.append(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
    }

    // Comments and processing instructions carry no text, but they end a text node.
    void otherNode() { endTextRun(); }

    // Comes after the content of an internal entity, and alone for an entity that is not loaded.
    void reference(const xmlChar* name)
    {
        endTextRun();
        if (!m_inValue)
            return;
        const xmlEntity* entity = xmlGetDocEntity(m_document->myDoc, name);
        checkReadable(entity, name);
    }

    xmlEntityPtr entity(xmlParserCtxtPtr context, const xmlChar* name)
    {
        if (m_stopped) {
            // Each context that would expand one more entity after the read ended stops too,
            // so that nested contents are not parsed on for nothing.
            xmlStopParser(context);
            return nullptr;
        }
        return xmlSAX2GetEntity(context, name);
    }

private:
    int line() const { return m_document != nullptr ? xmlSAX2GetLineNumber(m_document) : 0; }

    // Whether xml:space="preserve" holds for the innermost open element.
    bool preserving() const { return !m_preserve.empty() && m_preserve.back() != 0; }

    static std::string_view rawValue(const xmlChar* const* attribute)
    {
        return {reinterpret_cast<const char*>(attribute[3]), static_cast<std::size_t>(attribute[4] - attribute[3])};
    }

    bool spaceOf(Attributes attributes, bool inherited) const
    {
        for (int i = 0; i < attributes.withDefaults; ++i) {
            const xmlChar* const* attribute = attributes.items + 5 * i;
            if (attribute[2] == nullptr || std::strcmp(reinterpret_cast<const char*>(attribute[0]), "space") != 0 ||
                !xmlStrEqual(attribute[2], XML_XML_NAMESPACE))
                continue;
            const std::string_view value = rawValue(attribute);
            if (value == "preserve")
                return true;
            if (value == "default")
                return false;
        }
        return inherited;
    }

    SectionEntries* sectionFor(Attributes attributes)
    {
        const xmlChar* const* seq = attributes.find("seq");
        if (seq == nullptr)
            return nullptr;
        const std::string_view value = attributeValue(seq);
        for (const SectionName& section : kSections) {
            if (value == section.seq)
                return &(m_sections.*section.entries);
        }
        return nullptr;
    }

    // The value as the tree would hold it. Without entity substitution the parser keeps an
    // entity reference in the value as "&name;" and an ampersand as "&#38;"; only then does
    // the value hold an '&' at all.
    std::string_view attributeValue(const xmlChar* const* attribute)
    {
        const std::string_view raw = rawValue(attribute);
        if (raw.find('&') == std::string_view::npos)
            return raw;
        m_attributeText.clear();
        decodeReferences(raw, m_attributeText, 0);
        return m_attributeText;
    }

    void decodeReferences(std::string_view text, std::string& out, int depth)
    {
        std::size_t i = 0;
        while (i < text.size()) {
            const std::size_t amp = text.find('&', i);
            out.append(text.substr(i, amp == std::string_view::npos ? std::string_view::npos : amp - i));
            if (amp == std::string_view::npos)
                return;
            const std::size_t semicolon = text.find(';', amp);
            if (semicolon == std::string_view::npos) {
                out.append(text.substr(amp)); // not a reference: the parser would have refused it
                return;
            }
            const std::string name(text.substr(amp + 1, semicolon - amp - 1));
            i = semicolon + 1;
            if (!name.empty() && name[0] == '#') {
                appendCharacterReference(name, out);
                continue;
            }
            const xmlEntity* entity = xmlGetDocEntity(m_document->myDoc, reinterpret_cast<const xmlChar*>(name.c_str()));
            checkReadable(entity, reinterpret_cast<const xmlChar*>(name.c_str()));
            if (depth >= kMaxEntityDepth)
                xml::throwUnreadable(m_file, line(), "las entidades están anidadas demasiado hondo");
            const std::string_view content =
                entity->content != nullptr ? reinterpret_cast<const char*>(entity->content) : "";
            if (entity->etype == XML_INTERNAL_PREDEFINED_ENTITY) {
                countExpanded(content.size());
                out.append(content);
            } else {
                const std::size_t before = out.size();
                decodeReferences(content, out, depth + 1);
                countExpanded(out.size() - before);
            }
        }
    }

    static void appendCharacterReference(const std::string& reference, std::string& out)
    {
        const bool hex = reference.size() > 1 && (reference[1] == 'x' || reference[1] == 'X');
        const char* digits = reference.c_str() + (hex ? 2 : 1);
        char* end = nullptr;
        const unsigned long code = std::strtoul(digits, &end, hex ? 16 : 10);
        xmlChar utf8[8];
        if (*digits == 0 || *end != 0 || code > 0x10FFFF) {
            out.append("&").append(reference).append(";");
            return;
        }
        const int length = xmlCopyCharMultiByte(utf8, static_cast<int>(code));
        out.append(reinterpret_cast<const char*>(utf8), static_cast<std::size_t>(std::max(length, 0)));
    }

    // An external or undeclared entity is never loaded: the read stops rather than read it as empty.
    void checkReadable(const xmlEntity* entity, const xmlChar* name) const
    {
        const std::string text = reinterpret_cast<const char*>(name);
        if (entity == nullptr) {
            xml::throwUnreadable(m_file, line(),
                                 "la entidad \"" + text +
                                     "\" no está declarada en el documento (una DTD externa no se carga)");
        }
        if (entity->etype != XML_INTERNAL_GENERAL_ENTITY && entity->etype != XML_INTERNAL_PREDEFINED_ENTITY) {
            xml::throwUnreadable(m_file, line(),
                                 "la entidad externa \"" + text +
                                     "\" no se carga: un documento de servicio no puede traer contenido de fuera");
        }
    }

    void countExpanded(std::size_t bytes)
    {
        m_expanded += bytes;
        if (m_expanded > kMaxExpandedBytes) {
            xml::throwUnreadable(m_file, line(),
                                 "las entidades se expanden a más de " + std::to_string(kMaxExpandedBytes) +
                                     " bytes de texto");
        }
    }

    void endTextRun()
    {
        if (!m_inRun)
            return;
        m_inRun = false;
        if (m_inValue && m_runBlank && !preserving())
            m_valueText.resize(m_runStart);
    }

    void finishValue()
    {
        const std::string_view trimmed = xml::trimControlAndSpace(m_valueText);
        m_section->addUtf8Value(m_hasDato ? std::optional<std::string_view>(m_ansiDato) : std::nullopt, trimmed);
        m_inValue = false;
        m_valueText.clear();
    }

    const std::filesystem::path& m_file;
    xmlParserCtxtPtr m_document = nullptr;
    xml::ParseErrors m_errors;
    std::exception_ptr m_failure;
    bool m_stopped = false;
    ServiceSections m_sections;
    std::size_t m_expanded = 0;

    int m_depth = -1;
    std::vector<char> m_preserve; // per open element: whether xml:space="preserve" holds
    bool m_rootMatches = false;
    bool m_inOutputPart = false;
    SectionEntries* m_section = nullptr;
    bool m_inEntry = false;
    bool m_inValue = false;
    bool m_hasDato = false;
    std::string m_ansiDato;  // reused from value to value: no allocation per value
    std::string m_valueText; // UTF-8, untrimmed
    std::string m_attributeText;

    bool m_inRun = false;
    xmlParserCtxtPtr m_runContext = nullptr;
    std::size_t m_runStart = 0;
    std::size_t m_runLength = 0;
    bool m_runBlank = true;
};

SectionRead& readOf(void* context)
{
    return *static_cast<SectionRead*>(static_cast<xmlParserCtxtPtr>(context)->_private);
}

// Runs one event unless the read has ended; whatever it throws ends the read.
template <typename Event>
void guarded(void* context, Event&& event)
{
    auto* parser = static_cast<xmlParserCtxtPtr>(context);
    SectionRead& read = readOf(context);
    if (read.stopped())
        return;
    try {
        event(read, parser);
    } catch (...) {
        read.fail(parser, std::current_exception());
    }
}

void onStartElement(void* context, const xmlChar* localname, const xmlChar* /*prefix*/, const xmlChar* uri,
                    int /*namespaceCount*/, const xmlChar** /*namespaces*/, int attributeCount, int defaultedCount,
                    const xmlChar** attributes)
{
    guarded(context, [&](SectionRead& read, xmlParserCtxtPtr parser) {
        read.startElement(parser, localname, uri, Attributes{attributes, attributeCount - defaultedCount, attributeCount});
    });
}

void onEndElement(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
{
    guarded(context, [](SectionRead& read, xmlParserCtxtPtr parser) { read.endElement(parser); });
}

void onCharacters(void* context, const xmlChar* text, int length)
{
    guarded(context, [&](SectionRead& read, xmlParserCtxtPtr parser) { read.characters(parser, text, length); });
}

void onCdata(void* context, const xmlChar* text, int length)
{
    guarded(context, [&](SectionRead& read, xmlParserCtxtPtr parser) { read.cdata(parser, text, length); });
}

void onComment(void* context, const xmlChar*)
{
    guarded(context, [](SectionRead& read, xmlParserCtxtPtr) { read.otherNode(); });
}

void onProcessingInstruction(void* context, const xmlChar*, const xmlChar*)
{
    guarded(context, [](SectionRead& read, xmlParserCtxtPtr) { read.otherNode(); });
}

void onReference(void* context, const xmlChar* name)
{
    guarded(context, [&](SectionRead& read, xmlParserCtxtPtr) { read.reference(name); });
}

xmlEntityPtr onGetEntity(void* context, const xmlChar* name)
{
    return readOf(context).entity(static_cast<xmlParserCtxtPtr>(context), name);
}

void onError(void* context, xmlErrorPtr error)
{
    SectionRead& read = readOf(context);
    read.errors().record(error);
    if (read.errors().failed() && !read.stopped())
        read.stop(static_cast<xmlParserCtxtPtr>(context));
}

} // namespace

ServiceSections readServiceSections(const std::filesystem::path& file)
{
    xml::InputFile input(file);
    SectionRead read(file);
    xml::GlobalErrorCapture capture(read.errors());

    // The default SAX2 handlers keep the document's DTD (its entities) and nothing else.
    xmlSAXHandler sax;
    xmlSAXVersion(&sax, 2);
    sax.startElementNs = &onStartElement;
    sax.endElementNs = &onEndElement;
    sax.characters = &onCharacters;
    sax.ignorableWhitespace = &onCharacters;
    sax.cdataBlock = &onCdata;
    sax.comment = &onComment;
    sax.processingInstruction = &onProcessingInstruction;
    sax.reference = &onReference;
    sax.getEntity = &onGetEntity;
    sax.serror = &onError;

    std::unique_ptr<xmlParserCtxt, xml::ParserDeleter> parser(xmlCreateIOParserCtxt(
        &sax, nullptr, &xml::InputFile::read, &xml::InputFile::close, &input, XML_CHAR_ENCODING_NONE));
    if (!parser)
        throw Error(ErrorCode::Internal, "No se pudo preparar el analizador XML");
    xmlCtxtUseOptions(parser.get(), xml::kSafeParseOptions);
    parser->_private = &read;
    read.attach(parser.get());

    xmlParseDocument(parser.get());
    read.rethrowFailure();
    if (read.errors().failed() || !parser->wellFormed)
        xml::throwParseError(file, read.errors(), input);
    return read.takeSections();
}

} // namespace enlazio
