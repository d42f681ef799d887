// SPDX-License-Identifier: MIT
// Purpose: the service document: a streaming read of the six sections for the export,
// and the tree (over libxml2) that the import rewrites and saves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace enlazio {

// Memory for the bulk of a large document's sections: blocks of 2 MB and more are asked
// of the system as huge pages where it offers them, so that filling them costs a page
// fault per 2 MB instead of one per 4 KB. Smaller blocks come from the heap as usual.
template <typename T>
struct BulkAllocator {
    using value_type = T;
    BulkAllocator() = default;
    template <typename U>
    BulkAllocator(const BulkAllocator<U>&) noexcept
    {
    }
    T* allocate(std::size_t n);
    void deallocate(T* p, std::size_t n) noexcept;
    template <typename U>
    bool operator==(const BulkAllocator<U>&) const noexcept
    {
        return true;
    }
};

// The entries of every section of one name, in document order, compactly stored.
// Texts are already what the conversions need: values trimmed (every code unit up to
// U+0020 at both ends) and converted to Windows-1252; dato names converted, not trimmed.
class SectionEntries {
public:
    std::size_t entryCount() const;
    std::size_t valueCount(std::size_t entry) const;          // direct salida children
    std::string_view text(std::size_t entry, std::size_t position) const; // "" past the end
    std::optional<std::string_view> dato(std::size_t entry, std::size_t position) const; // none without dato

    // Filling (used by the reader).
    void beginEntry();
    void addValue(std::optional<std::string_view> ansiDato, std::string_view ansiText);
    // The same with the text in UTF-8, converted to Windows-1252 straight into place.
    void addUtf8Value(std::optional<std::string_view> ansiDato, std::string_view utf8Text);

private:
    // Texts lie one after another in one arena in the order of their values, so a value
    // needs only where its text starts (it ends where the next one starts) and its dato
    // name: eight bytes. dato names repeat in every entry, so the first few distinct ones
    // are stored once and shared.
    struct Value { std::uint32_t textOffset, dato; };
    static constexpr std::uint32_t kNoDato = 0xFFFFFFFFu;
    static constexpr std::size_t kSharedDatoLimit = 64;

    void pushValue(std::optional<std::string_view> ansiDato, std::size_t textOffset);
    std::uint32_t storeDato(std::string_view dato);
    std::size_t valueIndex(std::size_t entry, std::size_t position) const;

    std::basic_string<char, std::char_traits<char>, BulkAllocator<char>> m_arena; // the values' texts, in value order
    std::string m_datoArena; // the dato names
    std::vector<Value, BulkAllocator<Value>> m_values;
    std::vector<std::uint32_t> m_entryStart; // index into m_values of each entry's first value
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_datos; // offset and length in m_datoArena
    std::size_t m_nextSharedDato = 0; // where the next search for a shared dato starts
};

// The six sections the export reads, collected in one streaming pass.
struct ServiceSections {
    SectionEntries materias, profesores, aulas, grupos, asignaturas, tramos;
};

// One pass of libxml2's SAX2 parser; no network, no entity substitution, no
// external DTD. Throws Error(XmlParse) naming the file, line and reason when the file is
// not well-formed; Error(FileNotFound) when it cannot be opened. Entities declared in the
// document itself read as their text (at most 10 MB of it in all); a value that refers to
// an external or undeclared entity also stops the read with Error(XmlParse), since that
// content is never loaded. Blank text nodes are left out of a value unless xml:space="preserve".
ServiceSections readServiceSections(const std::filesystem::path& file);

// The document tree for the import run.
class XmlNode; // opaque handle into the tree, owned by its ServiceDocument

class ServiceDocument {
public:
    // Throws Error(XmlParse) naming the file, line and reason when not well-formed.
    static ServiceDocument load(const std::filesystem::path& file);
    // The same, for a run that replaces the output part: the first SALIDAS element under
    // the root (no namespace) is read and checked like the rest, but its content is left
    // out of the tree; the element stays, empty. Nothing else differs, so the tree saves
    // the same once that part is replaced, and memory goes to the rest of the document
    // instead of the part that a whole tree of the document spends most of it on.
    static ServiceDocument loadWithoutOutputPart(const std::filesystem::path& file);
    ServiceDocument(ServiceDocument&&) noexcept;
    ServiceDocument& operator=(ServiceDocument&&) noexcept;
    ~ServiceDocument();

    // Nodes stay valid as long as the document, removed ones included. Misuse (a null
    // node, a child of another parent, an element appended inside itself) throws
    // Error(XmlStructure); nothing here crashes on it.
    XmlNode* documentElement() const;                     // nullptr without root
    XmlNode* selectSingleChild(XmlNode* parent, std::string_view name) const; // first element child of that name, no namespace; nullptr if none
    void removeChild(XmlNode* parent, XmlNode* child);    // child and its subtree leave the tree
    XmlNode* createElement(std::string_view name);        // not yet in the tree
    // Texts are Windows-1252, stored literally ('&' and '<' are text, escaped on save).
    // A control character other than tab, line feed and carriage return cannot be written
    // in XML 1.0: it throws Error(XmlWrite) rather than leave a document nobody can read.
    void setAttribute(XmlNode* element, std::string_view name, std::string_view ansiValue);
    void setText(XmlNode* element, std::string_view ansiText); // replaces the content, untrimmed; "" leaves it empty
    void appendChild(XmlNode* parent, XmlNode* child);    // becomes the last child (moved if it was in the tree)

    // Whole tree, in the encoding the loaded document declared (UTF-8 when none);
    // characters that encoding lacks as character references. Replaces target atomically
    // (temporary file in the same folder, then rename): on failure an older target stays
    // as it was and no temporary file is left. Refuses to replace the loaded file itself.
    // Throws Error(XmlWrite) naming the target and the reason.
    void save(const std::filesystem::path& target) const;

    std::string declaredEncoding() const; // "" when none was declared

private:
    ServiceDocument() = default;
    static ServiceDocument loadDocument(const std::filesystem::path& file, bool leaveOutOutputPart);
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace enlazio
