// SPDX-License-Identifier: MIT
// Purpose: the export's read of the service document: one streaming pass that keeps only the six sections' values.
#include "formats/codepage.h"
#include "formats/error.h"
#include "formats/service_document.h"
#include "formats/xml_support.h"

#include <libxml/entities.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlreader.h>

#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

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

void SectionEntries::beginEntry()
{
    if (m_values.size() >= std::numeric_limits<std::uint32_t>::max())
        throw Error(ErrorCode::XmlStructure, "El documento tiene demasiados valores para leerlos");
    m_entryStart.push_back(static_cast<std::uint32_t>(m_values.size()));
}

namespace {

// Offsets are 32-bit, and kNoDato stays out of their range.
void checkArenaRoom(std::size_t used, std::size_t more)
{
    if (more >= SIZE_MAX / 2 || used + more >= std::numeric_limits<std::uint32_t>::max())
        throw Error(ErrorCode::XmlStructure, "El documento tiene más de 4 GB de texto en sus secciones; no se puede leer");
}

} // namespace

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
        if (m_values.size() >= std::numeric_limits<std::uint32_t>::max())
            throw Error(ErrorCode::XmlStructure, "El documento tiene demasiados valores para leerlos");
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

namespace {

struct ReaderDeleter {
    void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};

bool isNamed(const xmlNode* node, const char* name)
{
    // The section queries are XPath name tests: exact names, and no namespace.
    return node->ns == nullptr && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

bool isXmlBlank(const xmlChar* text)
{
    for (; *text != 0; ++text) {
        if (!IS_BLANK_CH(*text))
            return false;
    }
    return true;
}

// True under xml:space="preserve" (on the nearest element that says either way).
bool spacePreserved(const xmlNode* node)
{
    while (node != nullptr && node->type != XML_ELEMENT_NODE)
        node = node->parent;
    return node != nullptr && xmlNodeGetSpacePreserve(node) == 1;
}

// Collects the character content that a value or an attribute holds through entity
// references. libxml2 rejects entity loops but not a document that repeats a large
// entity many times, so the text produced by expansion is bounded here; an external or
// undeclared entity is never loaded and stops the read instead of silently reading empty.
class EntityExpander {
public:
    // libxml2's own bound for one text node without XML_PARSE_HUGE.
    static constexpr std::size_t kMaxExpandedBytes = XML_MAX_TEXT_LENGTH;
    static constexpr int kMaxDepth = 40;

    explicit EntityExpander(const std::filesystem::path& file) : m_file(file) {}

    void expandReference(const xmlNode* reference, bool keepBlanks, std::string& out, int depth = 0)
    {
        const auto line = static_cast<int>(xmlGetLineNo(reference));
        const char* name = reinterpret_cast<const char*>(reference->name);
        const xmlEntity* entity = xmlGetDocEntity(reference->doc, reference->name);
        if (entity == nullptr) {
            xml::throwUnreadable(m_file, line,
                                 std::string("la entidad \"") + name +
                                     "\" no está declarada en el documento (una DTD externa no se carga)");
        }
        if (entity->etype != XML_INTERNAL_GENERAL_ENTITY && entity->etype != XML_INTERNAL_PREDEFINED_ENTITY) {
            xml::throwUnreadable(m_file, line,
                                 std::string("la entidad externa \"") + name +
                                     "\" no se carga: un documento de servicio no puede traer contenido de fuera");
        }
        if (depth >= kMaxDepth)
            xml::throwUnreadable(m_file, line, "las entidades están anidadas demasiado hondo");
        if (entity->children == nullptr && entity->content != nullptr && entity->etype == XML_INTERNAL_PREDEFINED_ENTITY) {
            append(reinterpret_cast<const char*>(entity->content), line, out);
            return;
        }
        collect(entity->children, keepBlanks, out, depth + 1, line);
    }

    void collect(const xmlNode* node, bool keepBlanks, std::string& out, int depth, int line)
    {
        for (; node != nullptr; node = node->next) {
            switch (node->type) {
            case XML_TEXT_NODE:
                if (node->content != nullptr && (keepBlanks || !isXmlBlank(node->content)))
                    append(reinterpret_cast<const char*>(node->content), line, out);
                break;
            case XML_CDATA_SECTION_NODE:
                if (node->content != nullptr)
                    append(reinterpret_cast<const char*>(node->content), line, out);
                break;
            case XML_ELEMENT_NODE:
                collect(node->children, keepBlanks, out, depth + 1, line);
                break;
            case XML_ENTITY_REF_NODE:
                expandReference(node, keepBlanks, out, depth + 1);
                break;
            default:
                break; // comments and processing instructions carry no text
            }
        }
    }

private:
    void append(const char* text, int line, std::string& out)
    {
        const std::size_t length = std::strlen(text);
        m_expanded += length;
        if (m_expanded > kMaxExpandedBytes) {
            xml::throwUnreadable(m_file, line,
                                 "las entidades se expanden a más de " + std::to_string(kMaxExpandedBytes) +
                                     " bytes de texto");
        }
        out.append(text, length);
    }

    const std::filesystem::path& m_file;
    std::size_t m_expanded = 0;
};

// The value of an attribute without namespace, as the section query's predicate sees it.
std::optional<std::string> attributeValue(const xmlNode* element, const char* name, EntityExpander& expander)
{
    for (const xmlAttr* attribute = element->properties; attribute != nullptr; attribute = attribute->next) {
        if (attribute->ns != nullptr || std::strcmp(reinterpret_cast<const char*>(attribute->name), name) != 0)
            continue;
        std::string value;
        for (const xmlNode* child = attribute->children; child != nullptr; child = child->next) {
            if (child->type == XML_TEXT_NODE && child->content != nullptr)
                value += reinterpret_cast<const char*>(child->content);
            else if (child->type == XML_ENTITY_REF_NODE)
                expander.expandReference(child, true, value);
        }
        return value;
    }
    return std::nullopt;
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

SectionEntries* sectionFor(ServiceSections& sections, const std::optional<std::string>& seq)
{
    if (!seq)
        return nullptr;
    for (const SectionName& section : kSections) {
        if (*seq == section.seq)
            return &(sections.*section.entries);
    }
    return nullptr;
}

// Depths of the envelope in the stream: SERVICIO 0, SALIDAS 1, section 2, entry 3, value 4.
enum Depth { kRoot = 0, kOutputPart = 1, kSection = 2, kEntry = 3, kValue = 4 };

} // namespace

ServiceSections readServiceSections(const std::filesystem::path& file)
{
    xml::InputFile input(file);
    xml::ParseErrors errors;
    xml::GlobalErrorCapture capture(errors);
    const std::string url = xml::displayPath(file);
    // XML_PARSE_COMPACT keeps short texts inside their nodes, saving an allocation each:
    // safe here, where nodes are only read.
    std::unique_ptr<xmlTextReader, ReaderDeleter> reader(
        xmlReaderForIO(&xml::InputFile::read, &xml::InputFile::close, &input, url.c_str(), nullptr,
                       xml::kSafeParseOptions | XML_PARSE_COMPACT));
    if (!reader)
        throw Error(ErrorCode::Internal, "No se pudo preparar el analizador XML");
    xmlTextReaderSetStructuredErrorHandler(reader.get(), &xml::ParseErrors::handler, &errors);

    ServiceSections sections;
    EntityExpander expander(file);

    // Each element decides its own state from its parent's, which is always the latest
    // element one level up; so the state needs no stack.
    bool rootMatches = false;
    bool inOutputPart = false;
    SectionEntries* section = nullptr;
    bool inEntry = false;
    bool inValue = false;
    std::optional<std::string> valueDato;
    std::string valueText; // UTF-8, untrimmed
    std::string ansiDato; // reused from value to value: no allocation per value

    auto finishValue = [&] {
        const std::string_view trimmed = xml::trimControlAndSpace(valueText);
        if (valueDato) {
            ansiDato.clear();
            appendUtf8AsCodePage(ansiDato, *valueDato);
            section->addUtf8Value(ansiDato, trimmed);
        } else {
            section->addUtf8Value(std::nullopt, trimmed);
        }
        inValue = false;
        valueDato.reset();
        valueText.clear();
    };

    int status = 0;
    while ((status = xmlTextReaderRead(reader.get())) == 1 && !errors.failed()) {
        // The reader tells text from white space by looking for xml:space up to the root,
        // for every blank text node; text and white space are one case below, decided
        // there, so a text node skips that walk.
        const xmlNode* current = xmlTextReaderCurrentNode(reader.get());
        const int type = current != nullptr && current->type == XML_TEXT_NODE ? XML_READER_TYPE_TEXT
                                                                              : xmlTextReaderNodeType(reader.get());
        switch (type) {
        case XML_READER_TYPE_ELEMENT: {
            const xmlNode* node = xmlTextReaderCurrentNode(reader.get());
            const int depth = xmlTextReaderDepth(reader.get());
            switch (depth) {
            case kRoot:
                rootMatches = isNamed(node, "SERVICIO");
                break;
            case kOutputPart:
                inOutputPart = rootMatches && isNamed(node, "SALIDAS");
                break;
            case kSection:
                section = inOutputPart && isNamed(node, "listasal")
                              ? sectionFor(sections, attributeValue(node, "seq", expander))
                              : nullptr;
                break;
            case kEntry:
                inEntry = section != nullptr && isNamed(node, "listasal");
                if (inEntry)
                    section->beginEntry();
                break;
            case kValue:
                if (inEntry && isNamed(node, "salida")) {
                    inValue = true;
                    valueDato = attributeValue(node, "dato", expander);
                    if (xmlTextReaderIsEmptyElement(reader.get()) == 1)
                        finishValue();
                }
                break;
            default:
                break;
            }
            break;
        }
        case XML_READER_TYPE_END_ELEMENT:
            if (inValue && xmlTextReaderDepth(reader.get()) == kValue)
                finishValue();
            break;
        case XML_READER_TYPE_CDATA:
            if (inValue) {
                if (const xmlChar* text = xmlTextReaderConstValue(reader.get()))
                    valueText += reinterpret_cast<const char*>(text);
            }
            break;
        case XML_READER_TYPE_TEXT:
        case XML_READER_TYPE_WHITESPACE:
        case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
            // The reader's own white-space types cannot be trusted (without xml:space it calls
            // blanks significant), so decide here: a text node of XML blanks alone is dropped,
            // as the default load of the document does, unless xml:space="preserve" holds.
            if (inValue) {
                const xmlChar* text = xmlTextReaderConstValue(reader.get());
                if (text != nullptr &&
                    (!isXmlBlank(text) || spacePreserved(xmlTextReaderCurrentNode(reader.get()))))
                    valueText += reinterpret_cast<const char*>(text);
            }
            break;
        case XML_READER_TYPE_ENTITY_REFERENCE:
            if (inValue) {
                const xmlNode* node = xmlTextReaderCurrentNode(reader.get());
                expander.expandReference(node, spacePreserved(node), valueText);
            }
            break;
        default:
            break; // white space between elements, comments, processing instructions
        }
    }
    if (status != 0 || errors.failed())
        xml::throwParseError(file, errors, input);
    return sections;
}

} // namespace enlazio
