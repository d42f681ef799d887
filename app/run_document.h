// SPDX-License-Identifier: MIT
// Purpose: the document object of the current run: the export's sections or the import's tree.
#pragma once

#include "formats/service_document.h"

#include <filesystem>
#include <variant>

namespace enlazio {

// Each run that passes the existence test loads a new one, which releases the previous
// run's document first; a load that fails leaves it empty.
class RunDocument {
public:
    // Export run: the six sections in one streaming read.
    void loadSections(const std::filesystem::path& file);
    // Import run: the whole tree, to be rewritten.
    void loadDocument(const std::filesystem::path& file);
    void clear();

    bool isEmpty() const { return std::holds_alternative<std::monostate>(m_content); }
    // Throw Error(Internal) when the run loaded nothing of that kind.
    const ServiceSections& sections() const;
    ServiceDocument& document();

private:
    std::variant<std::monostate, ServiceSections, ServiceDocument> m_content;
};

} // namespace enlazio
