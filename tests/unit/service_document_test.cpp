// SPDX-License-Identifier: MIT
// Purpose: the document tree of the import: load, rewrite, save in the declared encoding, atomic replacement.
#include "formats/error.h"
#include "formats/service_document.h"
#include "xml_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace enlazio;
using enlazio::xmltest::readBytes;
using enlazio::xmltest::TempFolder;

namespace {

template <typename Action>
ErrorCode errorCodeOf(Action action, std::string* message = nullptr)
{
    try {
        action();
    } catch (const Error& error) {
        if (message != nullptr)
            *message = error.what();
        return error.code();
    }
    ADD_FAILURE() << "no error";
    return ErrorCode::Internal;
}

bool contains(const std::string& haystack, const std::string& needle)
{
    return haystack.find(needle) != std::string::npos;
}

std::vector<std::string> filesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// What the import does to a document: a new output part, last among the root's children,
// holding one section with one entry of the given values (dato, 8-bit text).
void rebuildOutputPart(ServiceDocument& document, const std::vector<std::pair<std::string, std::string>>& values)
{
    XmlNode* root = document.documentElement();
    ASSERT_NE(root, nullptr);
    XmlNode* old = document.selectSingleChild(root, "SALIDAS");
    ASSERT_NE(old, nullptr);
    document.removeChild(root, old);
    document.appendChild(root, document.createElement("SALIDAS"));
    XmlNode* output = document.selectSingleChild(root, "SALIDAS");
    ASSERT_NE(output, nullptr);
    XmlNode* section = document.createElement("listasal");
    document.setAttribute(section, "seq", "MATERIAS");
    document.appendChild(output, section);
    XmlNode* entry = document.createElement("listasal");
    document.appendChild(section, entry);
    for (const auto& [dato, text] : values) {
        XmlNode* value = document.createElement("salida");
        document.setAttribute(value, "dato", dato);
        document.setText(value, text);
        document.appendChild(entry, value);
    }
}

const char* const kLatin1Source = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                  "<SERVICIO centro=\"IES Mara\xF1\xF3n\" version=\"2\">\n"
                                  "  <ENTRADAS><param nombre=\"a\xF1o\">2024</param></ENTRADAS>\n"
                                  "  <SALIDAS><listasal seq=\"MATERIAS\"><listasal><salida>VIEJO</salida></listasal>"
                                  "</listasal></SALIDAS>\n"
                                  "  <!-- copia para Delphos -->\n"
                                  "  <PIE firma=\"S\xED\"/>\n"
                                  "</SERVICIO>\n";

TEST(ServiceDocument, RewrittenOutputPartSavesBesideEverythingElse)
{
    TempFolder folder;
    const auto source = folder.write("horario.xml", kLatin1Source);
    ServiceDocument document = ServiceDocument::load(source);
    EXPECT_EQ(document.declaredEncoding(), "ISO-8859-1");
    rebuildOutputPart(document, {{"X_MATERIAOMC", "Educaci\xF3n F\xEDsica & <Deporte>"},
                                 {"VAC\xCDO", ""},
                                 {"a\"b&c<d", "  sin recortar  "}});
    const auto target = folder.path() / "ResultadoAulixhorario.xml";
    document.save(target);

    const std::string saved = readBytes(target);
    EXPECT_EQ(saved.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n", 0), 0u) << saved;
    EXPECT_TRUE(contains(saved, "<SERVICIO centro=\"IES Mara\xF1\xF3n\" version=\"2\">")) << saved;
    EXPECT_TRUE(contains(saved, "<param nombre=\"a\xF1o\">2024</param>")) << saved;
    EXPECT_TRUE(contains(saved, "<!-- copia para Delphos -->")) << saved;
    EXPECT_TRUE(contains(saved, "Educaci\xF3n F\xEDsica &amp; &lt;Deporte&gt;")) << saved;
    EXPECT_TRUE(contains(saved, "dato=\"a&quot;b&amp;c&lt;d\"")) << saved;
    EXPECT_TRUE(contains(saved, "<salida dato=\"VAC\xCDO\"/>")) << saved;
    EXPECT_FALSE(contains(saved, "VIEJO")) << saved;
    EXPECT_LT(saved.find("<PIE"), saved.find("<SALIDAS>")) << "the new output part comes last";
    EXPECT_EQ(readBytes(source), kLatin1Source) << "the chosen file is never written";

    const ServiceSections sections = readServiceSections(target);
    ASSERT_EQ(sections.materias.entryCount(), 1u);
    ASSERT_EQ(sections.materias.valueCount(0), 3u);
    EXPECT_EQ(sections.materias.text(0, 0), "Educaci\xF3n F\xEDsica & <Deporte>");
    EXPECT_EQ(sections.materias.dato(0, 1), std::optional<std::string_view>("VAC\xCDO"));
    EXPECT_EQ(sections.materias.text(0, 1), "");
    EXPECT_EQ(sections.materias.dato(0, 2), std::optional<std::string_view>("a\"b&c<d"));
}

TEST(ServiceDocument, SetTextIsUntrimmedAndReplacesWhatTheElementHeld)
{
    TempFolder folder;
    ServiceDocument document = ServiceDocument::load(
        folder.write("doc.xml", "<SERVICIO><SALIDAS><x>viejo<b>hijo</b></x></SALIDAS></SERVICIO>"));
    XmlNode* x = document.selectSingleChild(document.selectSingleChild(document.documentElement(), "SALIDAS"), "x");
    ASSERT_NE(x, nullptr);
    document.setText(x, "  dos  espacios\t");
    document.setAttribute(x, "a", "1");
    document.setAttribute(x, "a", "2");
    const auto target = folder.path() / "out.xml";
    document.save(target);
    EXPECT_TRUE(contains(readBytes(target), "<x a=\"2\">  dos  espacios\t</x>")) << readBytes(target);
}

struct EncodingCase {
    const char* name;
    const char* declaration; // nullptr: none
    const char* declared;    // what declaredEncoding() gives
    std::vector<std::string> savedPieces; // byte sequences the saved file holds
};

// Keeps test listings readable: the case's name instead of its bytes.
void PrintTo(const EncodingCase& c, std::ostream* out) { *out << c.name; }

class ServiceDocumentSave : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(ServiceDocumentSave, WritesTheDeclaredEncodingWithReferencesForWhatItLacks)
{
    const EncodingCase& c = GetParam();
    TempFolder folder;
    std::string source;
    if (c.declaration != nullptr)
        source = std::string("<?xml version=\"1.0\" encoding=\"") + c.declaration + "\"?>\n";
    source += "<SERVICIO><SALIDAS/></SERVICIO>";
    const bool utf16 = std::string(c.declared) == "UTF-16";
    ServiceDocument document = ServiceDocument::load(
        folder.write("doc.xml", xmltest::encode(source, utf16 ? xmltest::Encoding::Utf16LeBom : xmltest::Encoding::Utf8)));
    EXPECT_EQ(document.declaredEncoding(), c.declared);
    const std::string text = "Peque\xF1o \x80 \x9C"; // ñ, euro sign, œ
    rebuildOutputPart(document, {{"T\x80", text}});
    const auto target = folder.path() / "out.xml";
    document.save(target);

    const std::string saved = readBytes(target);
    for (const std::string& piece : c.savedPieces)
        EXPECT_TRUE(contains(saved, piece)) << piece << " in\n" << saved;
    const ServiceSections sections = readServiceSections(target);
    EXPECT_EQ(sections.materias.text(0, 0), text);
    EXPECT_EQ(sections.materias.dato(0, 0), std::optional<std::string_view>("T\x80"));
    EXPECT_EQ(ServiceDocument::load(target).declaredEncoding(), c.declared[0] != 0 ? c.declared : "UTF-8");
}

const EncodingCase kSaveCases[] = {
    {"Latin1", "ISO-8859-1", "ISO-8859-1",
     {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "Peque\xF1o &#8364; &#339;", "dato=\"T&#8364;\""}},
    {"Windows1252", "windows-1252", "windows-1252",
     {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>", "Peque\xF1o \x80 \x9C", "dato=\"T\x80\""}},
    {"Utf8Declared", "UTF-8", "UTF-8", {"encoding=\"UTF-8\"", "Peque\xC3\xB1o \xE2\x82\xAC \xC5\x93"}},
    {"UndeclaredSavesAsUtf8", nullptr, "", {"encoding=\"UTF-8\"", "Peque\xC3\xB1o \xE2\x82\xAC \xC5\x93"}},
    {"Ascii", "US-ASCII", "US-ASCII", {"encoding=\"US-ASCII\"", "Peque&#241;o &#8364; &#339;"}},
    {"Utf16", "UTF-16", "UTF-16", {std::string("e\0n\0c\0o\0d\0i\0n\0g\0", 16), std::string("\xF1\0o\0", 4)}},
};

INSTANTIATE_TEST_SUITE_P(Cases, ServiceDocumentSave, ::testing::ValuesIn(kSaveCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ServiceDocument, SelectSingleChildTakesTheFirstElementOfThatExactName)
{
    TempFolder folder;
    ServiceDocument document = ServiceDocument::load(folder.write(
        "doc.xml", "<SERVICIO xmlns:d=\"urn:d\">texto<d:SALIDAS/><Salidas/><SALIDAS n=\"1\"/><SALIDAS n=\"2\"/></SERVICIO>"));
    XmlNode* root = document.documentElement();
    XmlNode* first = document.selectSingleChild(root, "SALIDAS");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(document.selectSingleChild(root, "NADA"), nullptr);
    EXPECT_EQ(document.selectSingleChild(nullptr, "SALIDAS"), nullptr);
    // Only the first is removed; the second then answers.
    document.removeChild(root, first);
    XmlNode* second = document.selectSingleChild(root, "SALIDAS");
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    document.save(folder.path() / "out.xml");
    const std::string saved = readBytes(folder.path() / "out.xml");
    EXPECT_FALSE(contains(saved, "n=\"1\"")) << saved;
    EXPECT_TRUE(contains(saved, "<SALIDAS n=\"2\"/>")) << saved;
    EXPECT_TRUE(contains(saved, "<d:SALIDAS/><Salidas/>")) << saved;
}

TEST(ServiceDocument, MisuseIsAnErrorNotACrash)
{
    TempFolder folder;
    ServiceDocument document =
        ServiceDocument::load(folder.write("doc.xml", "<SERVICIO><SALIDAS><a/></SALIDAS></SERVICIO>"));
    XmlNode* root = document.documentElement();
    XmlNode* salidas = document.selectSingleChild(root, "SALIDAS");
    XmlNode* a = document.selectSingleChild(salidas, "a");
    EXPECT_EQ(errorCodeOf([&] { document.removeChild(root, a); }), ErrorCode::XmlStructure); // not a child of root
    EXPECT_EQ(errorCodeOf([&] { document.removeChild(root, nullptr); }), ErrorCode::XmlStructure);
    EXPECT_EQ(errorCodeOf([&] { document.appendChild(a, root); }), ErrorCode::XmlStructure); // into itself
    EXPECT_EQ(errorCodeOf([&] { document.appendChild(nullptr, a); }), ErrorCode::XmlStructure);
    EXPECT_EQ(errorCodeOf([&] { document.setText(nullptr, "x"); }), ErrorCode::XmlStructure);
    EXPECT_EQ(errorCodeOf([&] { document.setAttribute(nullptr, "dato", "x"); }), ErrorCode::XmlStructure);
    EXPECT_EQ(errorCodeOf([&] { document.createElement("no vale"); }), ErrorCode::Internal);
    // A control character would make a file that no parser reads back.
    EXPECT_EQ(errorCodeOf([&] { document.setText(a, std::string("a\0b", 3)); }), ErrorCode::XmlWrite);
    EXPECT_EQ(errorCodeOf([&] { document.setAttribute(a, "dato", "\x1B"); }), ErrorCode::XmlWrite);

    // Elements created and never appended, and removed ones, are released with the document.
    document.createElement("suelto");
    XmlNode* moved = document.createElement("movido");
    document.appendChild(salidas, moved);
    document.removeChild(salidas, moved);
    document.appendChild(root, moved);
    document.removeChild(root, salidas);
    document.save(folder.path() / "out.xml");
    EXPECT_TRUE(contains(readBytes(folder.path() / "out.xml"), "<SERVICIO><movido/></SERVICIO>"));
}

TEST(ServiceDocument, LoadFailsOnBrokenOrMissingFile)
{
    TempFolder folder;
    const auto broken = folder.write("roto.xml", "<SERVICIO>\n<SALIDAS>\n<listasal seq=\"A\" seq=\"B\"/>\n</SALIDAS>");
    std::string message;
    EXPECT_EQ(errorCodeOf([&] { ServiceDocument::load(broken); }, &message), ErrorCode::XmlParse);
    EXPECT_TRUE(contains(message, broken.string())) << message;
    EXPECT_TRUE(contains(message, "línea 3")) << message;
    EXPECT_EQ(errorCodeOf([&] { ServiceDocument::load(folder.path() / "no.xml"); }), ErrorCode::FileNotFound);
    EXPECT_EQ(errorCodeOf([&] { ServiceDocument::load(folder.write("vacio.xml", "")); }), ErrorCode::XmlParse);
}

TEST(ServiceDocument, ExternalEntityIsKeptAsAReferenceAndNeverRead)
{
    TempFolder folder;
    const auto secret = folder.write("secreto.txt", "CONTENIDO-SECRETO");
    ServiceDocument document = ServiceDocument::load(folder.write(
        "doc.xml", "<!DOCTYPE SERVICIO [<!ENTITY x SYSTEM \"file://" + secret.string() +
                       "\">]>\n<SERVICIO><ENTRADAS>&x;</ENTRADAS><SALIDAS/></SERVICIO>"));
    rebuildOutputPart(document, {});
    document.save(folder.path() / "out.xml");
    const std::string saved = readBytes(folder.path() / "out.xml");
    EXPECT_TRUE(contains(saved, "<ENTRADAS>&x;</ENTRADAS>")) << saved;
    EXPECT_FALSE(contains(saved, "SECRETO")) << saved;
}

TEST(ServiceDocument, EntityBombFailsToLoad)
{
    TempFolder folder;
    const std::string xml = enlazio::xmltest::entityBombDoctype(10) + "<SERVICIO>&l10;</SERVICIO>";
    EXPECT_EQ(errorCodeOf([&] { ServiceDocument::load(folder.write("bomba.xml", xml)); }), ErrorCode::XmlParse);
}

// Loading without the output part and then replacing it saves exactly what loading the
// whole tree does; broken content of that part fails the load with the same message.
TEST(ServiceDocument, LoadWithoutOutputPartSavesTheSameOnceItIsReplaced)
{
    const std::string entities = "<!DOCTYPE SERVICIO [<!ENTITY e \"a&amp;b\"><!ENTITY x SYSTEM \"no.txt\">]>\n";
    const std::string documents[] = {
        kLatin1Source,
        entities + "<SERVICIO>&e;<SALIDAS a=\"1\" xmlns:p=\"urn:p\"><p:q>&e;&x;</p:q><![CDATA[<c>]]><!--c--><?pi d?>"
                   "<SALIDAS>anidada</SALIDAS></SALIDAS>&x;<PIE>&e;</PIE></SERVICIO>",
        "<SERVICIO><SALIDAS><viejo>1</viejo></SALIDAS><OTRO/><SALIDAS><viejo>2</viejo></SALIDAS></SERVICIO>",
        "<SERVICIO><SALIDAS/>\n  <PIE/></SERVICIO>",
        "<SALIDAS><SALIDAS><x/></SALIDAS><y>texto</y></SALIDAS>",
        "<SERVICIO xmlns:d=\"urn:d\"><d:SALIDAS><x/></d:SALIDAS><CAB><SALIDAS>dentro</SALIDAS></CAB>"
        "<SALIDAS>\n  <listasal seq=\"MATERIAS\"><listasal><salida dato=\"D\"> v </salida></listasal></listasal>\n"
        "</SALIDAS></SERVICIO>",
        "<SERVICIO xmlns=\"urn:todo\"><SALIDAS><x/></SALIDAS></SERVICIO>", // no SALIDAS without namespace
    };
    TempFolder folder;
    int n = 0;
    for (const std::string& source : documents) {
        SCOPED_TRACE(source);
        const auto file = folder.write("doc" + std::to_string(++n) + ".xml", source);
        ServiceDocument whole = ServiceDocument::load(file);
        ServiceDocument lean = ServiceDocument::loadWithoutOutputPart(file);
        const bool hasOutputPart = whole.selectSingleChild(whole.documentElement(), "SALIDAS") != nullptr;
        ASSERT_EQ(lean.selectSingleChild(lean.documentElement(), "SALIDAS") != nullptr, hasOutputPart);
        if (hasOutputPart) {
            rebuildOutputPart(whole, {{"X_EMPLEADO", "E1"}});
            rebuildOutputPart(lean, {{"X_EMPLEADO", "E1"}});
        }
        whole.save(folder.path() / "whole.xml");
        lean.save(folder.path() / "lean.xml");
        EXPECT_EQ(readBytes(folder.path() / "lean.xml"), readBytes(folder.path() / "whole.xml"));
    }
    // Left out indeed: the first output part is there, empty; the second keeps its content.
    ServiceDocument lean = ServiceDocument::loadWithoutOutputPart(folder.write("dos.xml", documents[2]));
    lean.save(folder.path() / "lean.xml");
    EXPECT_TRUE(contains(readBytes(folder.path() / "lean.xml"),
                         "<SERVICIO><SALIDAS/><OTRO/><SALIDAS><viejo>2</viejo></SALIDAS></SERVICIO>"));
    for (const std::string& broken : {std::string("<SERVICIO><SALIDAS><a></b></SALIDAS></SERVICIO>"),
                                      std::string("<SERVICIO><SALIDAS>&nada;</SALIDAS></SERVICIO>"),
                                      std::string("<SERVICIO><SALIDAS><x y=\"1\" y=\"2\"/></SALIDAS></SERVICIO>"),
                                      std::string("<SERVICIO><SALIDAS><p:x/></SALIDAS></SERVICIO>")}) {
        SCOPED_TRACE(broken);
        const auto file = folder.write("roto.xml", broken);
        std::string wholeMessage, leanMessage;
        EXPECT_EQ(errorCodeOf([&] { ServiceDocument::load(file); }, &wholeMessage), ErrorCode::XmlParse);
        EXPECT_EQ(errorCodeOf([&] { ServiceDocument::loadWithoutOutputPart(file); }, &leanMessage),
                  ErrorCode::XmlParse);
        EXPECT_EQ(leanMessage, wholeMessage);
    }
}

class ServiceDocumentFailedSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_document = std::make_unique<ServiceDocument>(ServiceDocument::load(m_folder.write("horario.xml", kLatin1Source)));
        rebuildOutputPart(*m_document, {{"X", std::string(4000, 'x')}});
    }

    // The save fails with XmlWrite and leaves the folder exactly as it was.
    void expectFailedSaveLeavesFolderAlone(const std::filesystem::path& target)
    {
        const std::vector<std::string> before = filesIn(m_folder.path());
        std::string message;
        EXPECT_EQ(errorCodeOf([&] { m_document->save(target); }, &message), ErrorCode::XmlWrite);
        EXPECT_TRUE(contains(message, target.filename().string())) << message;
        EXPECT_EQ(filesIn(m_folder.path()), before) << "no temporary file stays behind";
        EXPECT_EQ(readBytes(m_folder.path() / "horario.xml"), kLatin1Source);
    }

    TempFolder m_folder;
    std::unique_ptr<ServiceDocument> m_document;
};

TEST_F(ServiceDocumentFailedSave, TargetIsAFolder)
{
    const auto target = m_folder.path() / "ResultadoAulixhorario.xml";
    std::filesystem::create_directory(target);
    m_folder.write("ResultadoAulixhorario.xml/dentro.txt", "sigue");
    expectFailedSaveLeavesFolderAlone(target);
    EXPECT_EQ(readBytes(target / "dentro.txt"), "sigue");
}

TEST_F(ServiceDocumentFailedSave, TargetFolderMissing)
{
    expectFailedSaveLeavesFolderAlone(m_folder.path() / "no-existe" / "out.xml");
}

TEST_F(ServiceDocumentFailedSave, TargetIsTheChosenFile)
{
    expectFailedSaveLeavesFolderAlone(m_folder.path() / "horario.xml");
}

#ifndef _WIN32
TEST_F(ServiceDocumentFailedSave, WriteFailureKeepsTheOlderTarget)
{
    const auto target = m_folder.path() / "ResultadoAulixhorario.xml";
    m_folder.write("ResultadoAulixhorario.xml", "anterior");
    // A file-size limit makes the write fail half-way, for any user (root included).
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    expectFailedSaveLeavesFolderAlone(target);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(readBytes(target), "anterior");
}

TEST_F(ServiceDocumentFailedSave, FolderNotWritable)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder";
    const auto folder = m_folder.path() / "solo-lectura";
    std::filesystem::create_directory(folder);
    m_folder.write("solo-lectura/out.xml", "anterior");
    std::filesystem::permissions(folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    std::string message;
    EXPECT_EQ(errorCodeOf([&] { m_document->save(folder / "out.xml"); }, &message), ErrorCode::XmlWrite);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"out.xml"});
    EXPECT_EQ(readBytes(folder / "out.xml"), "anterior");
}
#endif

TEST_F(ServiceDocumentFailedSave, SecondSaveReplacesTheTarget)
{
    const auto target = m_folder.path() / "ResultadoAulixhorario.xml";
    m_folder.write("ResultadoAulixhorario.xml", "anterior");
    m_document->save(target);
    m_document->save(target);
    EXPECT_EQ(filesIn(m_folder.path()), (std::vector<std::string>{"ResultadoAulixhorario.xml", "horario.xml"}));
    EXPECT_EQ(readServiceSections(target).materias.text(0, 0), std::string(4000, 'x'));
}

} // namespace
