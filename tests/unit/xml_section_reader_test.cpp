// SPDX-License-Identifier: MIT
// Purpose: the streaming read of the six sections: envelope, values, text, encodings, and unsafe or broken input.
#include "formats/error.h"
#include "formats/service_document.h"
#include "xml_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace enlazio;
using enlazio::xmltest::Encoding;
using enlazio::xmltest::TempFolder;

namespace {

using Entries = std::vector<std::vector<std::string>>;

Entries textsOf(const SectionEntries& section)
{
    Entries entries;
    for (std::size_t e = 0; e < section.entryCount(); ++e) {
        std::vector<std::string> values;
        for (std::size_t p = 0; p < section.valueCount(e); ++p)
            values.emplace_back(section.text(e, p));
        entries.push_back(values);
    }
    return entries;
}

ServiceSections readText(const TempFolder& folder, const std::string& xml)
{
    return readServiceSections(folder.write("doc.xml", xml));
}

// The text of the only value of the only MATERIAS entry, given the value element's content.
std::string valueText(const TempFolder& folder, const std::string& content, const std::string& salidaAttributes = "")
{
    const ServiceSections sections = readText(
        folder, "<SERVICIO><SALIDAS><listasal seq=\"MATERIAS\"><listasal><salida" + salidaAttributes + ">" + content +
                    "</salida></listasal></listasal></SALIDAS></SERVICIO>");
    EXPECT_EQ(sections.materias.entryCount(), 1u);
    EXPECT_EQ(sections.materias.valueCount(0), 1u);
    return std::string(sections.materias.text(0, 0));
}

ErrorCode errorCodeOf(const std::filesystem::path& file, std::string* message = nullptr)
{
    try {
        readServiceSections(file);
    } catch (const Error& error) {
        if (message != nullptr)
            *message = error.what();
        return error.code();
    }
    ADD_FAILURE() << "the read of " << file << " did not fail";
    return ErrorCode::Internal;
}

struct EnvelopeCase {
    const char* name;
    const char* xml;
    Entries materias;
};
void PrintTo(const EnvelopeCase& c, std::ostream* out) { *out << c.name; }

class ServiceSectionsEnvelope : public ::testing::TestWithParam<EnvelopeCase> {};

TEST_P(ServiceSectionsEnvelope, GivesWhatTheSectionQueryGives)
{
    TempFolder folder;
    const ServiceSections sections = readText(folder, GetParam().xml);
    EXPECT_EQ(textsOf(sections.materias), GetParam().materias);
}

const EnvelopeCase kEnvelopeCases[] = {
    {"TwoSectionsOfOneNameJoinInDocumentOrder",
     R"(<SERVICIO><SALIDAS>
          <listasal seq="MATERIAS"><listasal><salida>G1</salida><salida>MAT</salida></listasal></listasal>
          <listasal seq="AULAS"><listasal><salida>R1</salida><salida>A1</salida></listasal></listasal>
          <listasal seq="MATERIAS"><listasal><salida>G2</salida><salida>LEN</salida></listasal>
                                   <listasal><salida>G3</salida></listasal></listasal>
        </SALIDAS></SERVICIO>)",
     {{"G1", "MAT"}, {"G2", "LEN"}, {"G3"}}},
    {"RootNotServicioGivesNoEntries",
     R"(<SERVICIOS><SALIDAS><listasal seq="MATERIAS"><listasal><salida>G1</salida></listasal></listasal></SALIDAS></SERVICIOS>)",
     {}},
    {"OutputPartMisnamedGivesNoEntries",
     R"(<SERVICIO><Salidas><listasal seq="MATERIAS"><listasal><salida>G1</salida></listasal></listasal></Salidas></SERVICIO>)",
     {}},
    {"SectionOutsideTheOutputPartIsNotRead",
     R"(<SERVICIO><ENTRADAS><listasal seq="MATERIAS"><listasal><salida>E1</salida></listasal></listasal></ENTRADAS>
        <SALIDAS><otro><listasal seq="MATERIAS"><listasal><salida>O1</salida></listasal></listasal></otro>
        <listasal seq="MATERIAS"><listasal><salida>G1</salida></listasal></listasal></SALIDAS></SERVICIO>)",
     {{"G1"}}},
    {"SeqMustMatchExactly",
     R"(<SERVICIO><SALIDAS><listasal seq="materias"><listasal><salida>a</salida></listasal></listasal>
        <listasal seq=" MATERIAS"><listasal><salida>b</salida></listasal></listasal>
        <listasal><listasal><salida>c</salida></listasal></listasal>
        <listasal seq="MATERIAS"><listasal><salida>d</salida></listasal></listasal></SALIDAS></SERVICIO>)",
     {{"d"}}},
    {"EveryOutputPartOfTheRootCounts",
     R"(<SERVICIO><SALIDAS><listasal seq="MATERIAS"><listasal><salida>1</salida></listasal></listasal></SALIDAS>
        <SALIDAS><listasal seq="MATERIAS"><listasal><salida>2</salida></listasal></listasal></SALIDAS></SERVICIO>)",
     {{"1"}, {"2"}}},
    {"OnlyDirectSalidaChildrenArePositions",
     R"(<SERVICIO><SALIDAS><listasal seq="MATERIAS"><listasal>
          <nota>x</nota><salida>p0</salida><grupo><salida>nested</salida></grupo>
          <Salida>case</Salida><salida>p1<salida>inner</salida></salida>texto<!-- c --><salida/>
        </listasal><otro><salida>z</salida></otro></listasal></SALIDAS></SERVICIO>)",
     {{"p0", "p1inner", ""}}},
    {"ElementsInANamespaceAreNotTheEnvelope",
     R"(<SERVICIO xmlns="urn:delphos"><SALIDAS><listasal seq="MATERIAS"><listasal><salida>G1</salida></listasal></listasal></SALIDAS></SERVICIO>)",
     {}},
    {"EntryWithoutValuesIsStillAnEntry",
     R"(<SERVICIO><SALIDAS><listasal seq="MATERIAS"><listasal/><listasal><otro/></listasal></listasal></SALIDAS></SERVICIO>)",
     {{}, {}}},
};

INSTANTIATE_TEST_SUITE_P(Cases, ServiceSectionsEnvelope, ::testing::ValuesIn(kEnvelopeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ServiceSections, EachSectionGoesToItsOwnList)
{
    TempFolder folder;
    std::string xml = "<SERVICIO><SALIDAS>";
    for (const char* seq : {"TRAMOS", "ASIGNATURAS", "GRUPOS", "AULAS", "PROFESORES", "MATERIAS", "OTRAS"})
        xml += std::string("<listasal seq=\"") + seq + "\"><listasal><salida>" + seq + "</salida></listasal></listasal>";
    xml += "</SALIDAS></SERVICIO>";
    const ServiceSections sections = readText(folder, xml);
    EXPECT_EQ(textsOf(sections.materias), Entries{{"MATERIAS"}});
    EXPECT_EQ(textsOf(sections.profesores), Entries{{"PROFESORES"}});
    EXPECT_EQ(textsOf(sections.aulas), Entries{{"AULAS"}});
    EXPECT_EQ(textsOf(sections.grupos), Entries{{"GRUPOS"}});
    EXPECT_EQ(textsOf(sections.asignaturas), Entries{{"ASIGNATURAS"}});
    EXPECT_EQ(textsOf(sections.tramos), Entries{{"TRAMOS"}});
}

struct TextCase {
    const char* name;
    const char* content; // what the salida element holds
    const char* expected; // Windows-1252
};
void PrintTo(const TextCase& c, std::ostream* out) { *out << c.name; }

class ServiceSectionsValueText : public ::testing::TestWithParam<TextCase> {};

TEST_P(ServiceSectionsValueText, IsJoinedTrimmedAndConverted)
{
    TempFolder folder;
    EXPECT_EQ(valueText(folder, GetParam().content), GetParam().expected);
}

const TextCase kTextCases[] = {
    {"SpacesTabsAndLineBreaksTrimmed", " \t\r\n Lengua  Castellana \n\t ", "Lengua  Castellana"},
    {"NoBreakSpaceStays", "&#160;x&#160;", "\xA0x\xA0"},
    {"ControlCharacterReferencesTrimmed", "&#9;&#13;&#10;x&#x20;", "x"},
    {"OnlyBlanksReadsEmpty", " \n\t ", ""},
    {"EmptyElementReadsEmpty", "", ""},
    {"ChildElementsJoinInDocumentOrder", " 1º<b>E</b><i>SO</i> ", "1\xBA" "ESO"},
    {"CdataJoinsAndKeepsItsBlanks", "a<![CDATA[ <b> & ]]>c", "a <b> & c"},
    {"BlankTextBetweenElementsDropped", "<b>Física</b>\n  <b>y Química</b>", "F\xEDsicay Qu\xEDmica"},
    {"PredefinedEntitiesAndCharacterReferences", "&amp;&lt;&gt;&quot;&apos;&#241;&#xD1;&#8364;", "&<>\"'\xF1\xD1\x80"},
    {"CharacterOutside1252BecomesQuestionMark", "Ω-Ł", "?-?"},
    {"CommentsAndProcessingInstructionsCarryNoText", "a<!-- b --><?pi c?>d", "ad"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ServiceSectionsValueText, ::testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ServiceSections, BlanksUnderXmlSpacePreserveAreKept)
{
    TempFolder folder;
    EXPECT_EQ(valueText(folder, "<b>a</b> <b>b</b>", " xml:space=\"preserve\""), "a b");
}

TEST(ServiceSections, LongTextKeepsItsInnerBlanks)
{
    // Long enough to reach the parser in many pieces: no piece of blanks may be lost.
    TempFolder folder;
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "ab" + std::string(700, ' ') + "\n";
    const std::string expected = text.substr(0, text.size() - 701);
    EXPECT_EQ(valueText(folder, text), expected);
}

TEST(ServiceSections, DatoNamesAreConvertedButNotTrimmed)
{
    TempFolder folder;
    const ServiceSections sections = readText(folder, R"(<SERVICIO><SALIDAS><listasal seq="TRAMOS"><listasal>
        <salida dato="NOMBRE">L1</salida><salida dato=" NOMBRE ">a</salida><salida dato="nombre">b</salida>
        <salida>sin dato</salida><salida dato="">vacío</salida><salida dato="AÑO">2024</salida>
        <salida dato="NOMBRE">L2</salida></listasal></listasal></SALIDAS></SERVICIO>)");
    const SectionEntries& tramos = sections.tramos;
    ASSERT_EQ(tramos.entryCount(), 1u);
    ASSERT_EQ(tramos.valueCount(0), 7u);
    const std::vector<std::optional<std::string>> expected = {
        "NOMBRE", " NOMBRE ", "nombre", std::nullopt, "", "A\xD1O", "NOMBRE"};
    for (std::size_t p = 0; p < expected.size(); ++p) {
        const auto dato = tramos.dato(0, p);
        EXPECT_EQ(dato ? std::optional<std::string>(std::string(*dato)) : std::nullopt, expected[p]) << p;
    }
    EXPECT_EQ(tramos.text(0, 4), "vac\xEDo");
    EXPECT_EQ(tramos.text(0, 6), "L2");
}

// A section large enough that its values and texts outgrow the heap into blocks of their own:
// every value keeps its text, its dato name (71 names: past the shared ones too) and its place.
TEST(ServiceSections, LargeSectionKeepsEveryValueInPlace)
{
    const std::size_t kEntries = 90000; // three values each: 270,000 values, 2 MB of texts
    std::string xml = "<SERVICIO><SALIDAS><listasal seq=\"ASIGNATURAS\">";
    for (std::size_t i = 0; i < kEntries; ++i) {
        const std::string n = std::to_string(i);
        xml += "<listasal><salida dato=\"C_MATERIA\">M" + n + "</salida><salida>n\xC3\xBA" "mero " + n +
               "</salida><salida dato=\"D" + std::to_string(i % 70) + "\"></salida></listasal>";
    }
    xml += "</listasal></SALIDAS></SERVICIO>";
    TempFolder folder;
    const ServiceSections sections = readText(folder, xml);
    const SectionEntries& s = sections.asignaturas;
    ASSERT_EQ(s.entryCount(), kEntries);
    for (std::size_t i = 0; i < kEntries; i += 997) {
        const std::string n = std::to_string(i);
        ASSERT_EQ(s.valueCount(i), 3u) << i;
        EXPECT_EQ(s.text(i, 0), "M" + n);
        EXPECT_EQ(s.dato(i, 0), std::optional<std::string_view>("C_MATERIA"));
        EXPECT_EQ(s.text(i, 1), "n\xFAmero " + n);
        EXPECT_EQ(s.dato(i, 1), std::nullopt);
        EXPECT_EQ(s.text(i, 2), "");
        EXPECT_EQ(s.dato(i, 2), std::optional<std::string_view>("D" + std::to_string(i % 70)));
    }
    EXPECT_EQ(s.text(kEntries - 1, 1), "n\xFAmero " + std::to_string(kEntries - 1));
    EXPECT_EQ(s.dato(kEntries - 1, 2), std::optional<std::string_view>("D" + std::to_string((kEntries - 1) % 70)));
}

TEST(ServiceSections, MissingPositionReadsEmpty)
{
    TempFolder folder;
    const ServiceSections sections = readText(
        folder, R"(<SERVICIO><SALIDAS><listasal seq="GRUPOS"><listasal><salida dato="U">1</salida><salida>1A</salida>
        </listasal></listasal></SALIDAS></SERVICIO>)");
    EXPECT_EQ(sections.grupos.valueCount(0), 2u);
    EXPECT_EQ(sections.grupos.text(0, 5), "");
    EXPECT_EQ(sections.grupos.dato(0, 5), std::nullopt);
    EXPECT_EQ(sections.grupos.text(3, 0), "");
    EXPECT_EQ(sections.grupos.valueCount(3), 0u);
}

TEST(ServiceSections, DocumentWithoutSectionsGivesEmptyLists)
{
    TempFolder folder;
    const ServiceSections sections = readText(folder, "<?xml version=\"1.0\"?>\n<SERVICIO><ENTRADAS/></SERVICIO>");
    for (const SectionEntries* section : {&sections.materias, &sections.profesores, &sections.aulas, &sections.grupos,
                                          &sections.asignaturas, &sections.tramos})
        EXPECT_EQ(section->entryCount(), 0u);
}

struct EncodingCase {
    const char* name;
    Encoding encoding;
    const char* declaration; // nullptr: none
};
void PrintTo(const EncodingCase& c, std::ostream* out) { *out << c.name; }

class ServiceSectionsEncoding : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(ServiceSectionsEncoding, GivesTheSame8BitText)
{
    const EncodingCase& c = GetParam();
    const bool hasEuro = c.encoding != Encoding::Latin1;
    std::string xml;
    if (c.declaration != nullptr)
        xml = std::string("<?xml version=\"1.0\" encoding=\"") + c.declaration + "\"?>\n";
    xml += "<SERVICIO><SALIDAS><listasal seq=\"PROFESORES\"><listasal><salida dato=\"AÑO\"> Begoña Núñez Güell </salida>"
           "<salida>Educación Física" + std::string(hasEuro ? " €" : "") +
           "</salida></listasal></listasal></SALIDAS></SERVICIO>";
    TempFolder folder;
    const ServiceSections sections = readServiceSections(folder.write("doc.xml", xmltest::encode(xml, c.encoding)));
    ASSERT_EQ(sections.profesores.entryCount(), 1u);
    EXPECT_EQ(sections.profesores.text(0, 0), "Bego\xF1" "a N\xFA\xF1" "ez G\xFC" "ell");
    EXPECT_EQ(sections.profesores.dato(0, 0), std::optional<std::string_view>("A\xD1O"));
    EXPECT_EQ(sections.profesores.text(0, 1), std::string("Educaci\xF3n F\xEDsica") + (hasEuro ? " \x80" : ""));
}

const EncodingCase kEncodingCases[] = {
    {"Utf8Undeclared", Encoding::Utf8, nullptr},
    {"Utf8Declared", Encoding::Utf8, "UTF-8"},
    {"Utf8WithByteOrderMark", Encoding::Utf8Bom, nullptr},
    {"Utf16LittleEndian", Encoding::Utf16LeBom, "UTF-16"},
    {"Utf16BigEndianUndeclared", Encoding::Utf16BeBom, nullptr},
    {"Latin1", Encoding::Latin1, "ISO-8859-1"},
    {"Latin1LowerCase", Encoding::Latin1, "iso-8859-1"},
    {"Windows1252", Encoding::Windows1252, "windows-1252"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ServiceSectionsEncoding, ::testing::ValuesIn(kEncodingCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ServiceSections, NotWellFormedFileFailsNamingFileAndLine)
{
    TempFolder folder;
    const auto file = folder.write("roto.xml", "<?xml version=\"1.0\"?>\n<SERVICIO>\n<SALIDAS>\n</SERVICIO>\n");
    std::string message;
    EXPECT_EQ(errorCodeOf(file, &message), ErrorCode::XmlParse);
    EXPECT_NE(message.find(file.string()), std::string::npos) << message;
    EXPECT_NE(message.find("línea 4"), std::string::npos) << message;
    EXPECT_NE(message.find("SALIDAS"), std::string::npos) << message; // the parser's reason names the open element
}

TEST(ServiceSections, BrokenInputFailsAsAParseError)
{
    TempFolder folder;
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"truncated", "<SERVICIO><SALIDAS><listasal seq=\"MATERIAS\"><listasal><salida>G1"},
        {"undeclaredPrefix", "<SERVICIO><d:SALIDAS/></SERVICIO>"},
        {"badUtf8", "<SERVICIO><SALIDAS>\xC3(</SALIDAS></SERVICIO>"},
        {"unknownEncoding", "<?xml version=\"1.0\" encoding=\"x-no-such\"?><SERVICIO/>"},
        {"undeclaredEntity", "<SERVICIO>&nada;</SERVICIO>"},
    };
    for (const auto& [name, xml] : cases)
        EXPECT_EQ(errorCodeOf(folder.write(std::string(name) + ".xml", xml)), ErrorCode::XmlParse) << name;
}

TEST(ServiceSections, MissingFileIsFileNotFound)
{
    TempFolder folder;
    EXPECT_EQ(errorCodeOf(folder.path() / "no-existe.xml"), ErrorCode::FileNotFound);
    EXPECT_EQ(errorCodeOf(folder.path()), ErrorCode::FileNotFound);
}

TEST(ServiceSections, InternalEntityExpandsIntoTheValue)
{
    TempFolder folder;
    const ServiceSections sections = readText(folder, R"(<?xml version="1.0"?>
<!DOCTYPE SERVICIO [
<!ENTITY centro "IES &quot;Gregorio&quot; <b>Marañón</b>">
<!ENTITY nombre "&centro; &amp; Cía">
]>
<SERVICIO><SALIDAS><listasal seq="AULAS"><listasal><salida dato="X">&nombre;</salida></listasal></listasal></SALIDAS></SERVICIO>)");
    EXPECT_EQ(sections.aulas.text(0, 0), "IES \"Gregorio\" Mara\xF1\xF3n & C\xED" "a");
}

TEST(ServiceSections, ExternalEntityIsNeverRead)
{
    TempFolder folder;
    const auto secret = folder.write("secreto.txt", "CONTENIDO-SECRETO");
    const std::string doctype = "<!DOCTYPE SERVICIO [\n<!ENTITY x SYSTEM \"file://" + secret.string() +
                                "\">\n<!ENTITY p SYSTEM \"file:///etc/passwd\">\n]>\n";
    // Referred to from a value: the read stops rather than read it or give an empty value.
    std::string message;
    const auto inValue = folder.write(
        "valor.xml", doctype + "<SERVICIO><SALIDAS><listasal seq=\"AULAS\"><listasal><salida>a&x;b</salida>"
                               "</listasal></listasal></SALIDAS></SERVICIO>");
    EXPECT_EQ(errorCodeOf(inValue, &message), ErrorCode::XmlParse);
    EXPECT_NE(message.find("\"x\""), std::string::npos) << message;
    EXPECT_EQ(message.find("SECRETO"), std::string::npos) << message;
    // Referred to elsewhere: not read, and the sections read as usual.
    const ServiceSections sections = readServiceSections(folder.write(
        "fuera.xml", doctype + "<SERVICIO><ENTRADAS>&x;&p;</ENTRADAS><SALIDAS><listasal seq=\"AULAS\"><listasal>"
                               "<salida>A1</salida></listasal></listasal></SALIDAS></SERVICIO>"));
    EXPECT_EQ(textsOf(sections.aulas), Entries{{"A1"}});
}

TEST(ServiceSections, ExternalDtdIsNotLoaded)
{
    TempFolder folder;
    // A DTD that would give every salida a dato if it were read, and that is not even well-formed.
    folder.write("defs.dtd", "<!ATTLIST salida dato CDATA \"DESDE-DTD\"> <!ENTITY");
    const auto file = folder.write("doc.xml", "<!DOCTYPE SERVICIO SYSTEM \"defs.dtd\"><SERVICIO><SALIDAS><listasal "
                                              "seq=\"AULAS\"><listasal><salida>A</salida></listasal></listasal>"
                                              "</SALIDAS></SERVICIO>");
    const ServiceSections sections = readServiceSections(file);
    EXPECT_EQ(sections.aulas.dato(0, 0), std::nullopt);
}

TEST(ServiceSections, InternalDtdGivesEntitiesToAttributesAndXmlSpaceButNoDato)
{
    // A default from the DTD is no attribute of the tree (so no dato), but xml:space looks it up.
    TempFolder folder;
    const ServiceSections sections = readText(folder, R"(<!DOCTYPE SERVICIO [
<!ENTITY las "LAS"> <!ENTITY uno "u&#241;o">
<!ATTLIST salida dato CDATA "DESDE-DTD"> <!ATTLIST b xml:space (default|preserve) "preserve">
]>
<SERVICIO><SALIDAS><listasal seq="AU&las;"><listasal>
<salida>w<b> </b>x</salida><salida dato="a&amp;b&#38;&uno;">y</salida></listasal></listasal></SALIDAS></SERVICIO>)");
    ASSERT_EQ(textsOf(sections.aulas), (Entries{{"w x", "y"}}));
    EXPECT_EQ(sections.aulas.dato(0, 0), std::nullopt);
    EXPECT_EQ(sections.aulas.dato(0, 1), "a&b&u\xF1o");
}

TEST(ServiceSections, ResourceExhaustingInputFailsCleanly)
{
    TempFolder folder;
    const std::string laughs = xmltest::entityBombDoctype(10);
    const std::string value = "<SERVICIO><SALIDAS><listasal seq=\"AULAS\"><listasal><salida>";
    const std::string close = "</salida></listasal></listasal></SALIDAS></SERVICIO>";

    std::string repeated = "<!DOCTYPE SERVICIO [<!ENTITY a \"" + std::string(20000, 'a') + "\">]>" + value;
    for (int i = 0; i < 2000; ++i) // 40 MB once expanded, from a file of 30 kB
        repeated += "&a;";
    repeated += close;
    // Outside the values too: each reference is parsed again, so it costs the same.
    std::string repeatedOutside = "<!DOCTYPE SERVICIO [<!ENTITY a \"" + std::string(20000, 'a') + "\">]><SERVICIO>";
    for (int i = 0; i < 2000; ++i)
        repeatedOutside += "&a;";
    repeatedOutside += "<SALIDAS/></SERVICIO>";

    std::string deep = value;
    for (int i = 0; i < 300; ++i)
        deep += "<b>";
    for (int i = 0; i < 300; ++i)
        deep += "</b>";
    deep += close;

    const std::string hugeText = value + std::string(11'000'000, 'x') + close;

    const std::pair<const char*, std::string> cases[] = {
        {"entityBomb", laughs + value + "&l10;" + close},
        {"repeatedLargeEntity", repeated},
        {"repeatedLargeEntityOutsideValues", repeatedOutside},
        {"deepNesting", deep},
        {"hugeTextNode", hugeText},
    };
    for (const auto& [name, xml] : cases)
        EXPECT_EQ(errorCodeOf(folder.write(std::string(name) + ".xml", xml)), ErrorCode::XmlParse) << name;
}

TEST(ServiceSections, BundledSampleHasWhatTheExportReads)
{
    const ServiceSections sections = readServiceSections(ENLAZIO_SOURCE_DIR "/samples/ies_fuente_nueva.xml");
    const struct {
        const SectionEntries& entries;
        std::size_t count;
        std::size_t values;
    } expected[] = {{sections.materias, 72, 4}, {sections.profesores, 31, 4}, {sections.aulas, 24, 4},
                    {sections.grupos, 14, 6},   {sections.asignaturas, 145, 9}, {sections.tramos, 30, 5}};
    for (const auto& section : expected) {
        EXPECT_EQ(section.entries.entryCount(), section.count);
        for (std::size_t e = 0; e < section.entries.entryCount(); ++e)
            EXPECT_EQ(section.entries.valueCount(e), section.values) << e;
    }
    // Accented names arrive in 8-bit text, trimmed.
    EXPECT_EQ(sections.profesores.text(0, 2), "\xC1lvarez Mu\xF1oz, Mar\xED" "a Jos\xE9");
    EXPECT_EQ(sections.profesores.text(15, 2), "P\xE9rez Gal\xE1n, Tom\xE1s");
    // The slots are read by name.
    for (std::size_t e = 0; e < sections.tramos.entryCount(); ++e) {
        std::string names;
        for (std::size_t p = 0; p < sections.tramos.valueCount(e); ++p)
            names += std::string(sections.tramos.dato(e, p).value_or("-")) + ",";
        EXPECT_EQ(names, "CODIGO_DELPHOS,NOMBRE,INICIO,FIN,NINUTOS,") << e;
    }
    EXPECT_EQ(sections.tramos.text(29, 1), "V6");
    // The quirks the sample carries on purpose.
    auto anyEntry = [](const SectionEntries& entries, auto predicate) {
        for (std::size_t e = 0; e < entries.entryCount(); ++e) {
            if (predicate(e))
                return true;
        }
        return false;
    };
    EXPECT_TRUE(anyEntry(sections.aulas, [&](std::size_t e) { return sections.aulas.text(e, 1).empty(); }));
    EXPECT_TRUE(anyEntry(sections.grupos, [&](std::size_t e) { return sections.grupos.text(e, 3).empty(); }));
    EXPECT_TRUE(anyEntry(sections.asignaturas, [&](std::size_t e) { return sections.asignaturas.text(e, 7) == "90"; }));
    EXPECT_TRUE(anyEntry(sections.materias, [&](std::size_t e) { return sections.materias.text(e, 0)[0] != 'G'; }));
    EXPECT_TRUE(anyEntry(sections.aulas, [&](std::size_t e) {
        return sections.aulas.text(e, 2) == "Aula de Audiovisuales & Idiomas";
    }));
    EXPECT_EQ(ServiceDocument::load(ENLAZIO_SOURCE_DIR "/samples/ies_fuente_nueva.xml").declaredEncoding(), "ISO-8859-1");
}

} // namespace
