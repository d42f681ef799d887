// SPDX-License-Identifier: MIT
// Purpose: the document object of the current run: the export's sections or the import's tree.
#include "app/run_document.h"

#include "formats/error.h"

namespace enlazio {

void RunDocument::loadSections(const std::filesystem::path& file)
{
    clear();
    m_content = readServiceSections(file);
}

void RunDocument::loadDocument(const std::filesystem::path& file)
{
    clear();
    m_content = ServiceDocument::loadWithoutOutputPart(file); // the import replaces that part
}

void RunDocument::clear()
{
    m_content = std::monostate {};
}

const ServiceSections& RunDocument::sections() const
{
    if (const auto* sections = std::get_if<ServiceSections>(&m_content))
        return *sections;
    throw Error(ErrorCode::Internal, "No hay ningún documento cargado para exportar");
}

ServiceDocument& RunDocument::document()
{
    if (auto* document = std::get_if<ServiceDocument>(&m_content))
        return *document;
    throw Error(ErrorCode::Internal, "No hay ningún documento cargado para importar");
}

} // namespace enlazio
