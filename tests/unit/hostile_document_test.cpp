// SPDX-License-Identifier: MIT
// Purpose: hostile service documents through whole export and import runs: nothing read from outside, bounded, clear.
#include "export/conversions.h"
#include "formats/error.h"
#include "import/result_document.h"
#include "tests/fuzz/fuzz_drivers.h"
#include "tests/unit/xml_test_support.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace enlazio {
namespace {

namespace fs = std::filesystem;
using xmltest::readBytes;
using xmltest::TempFolder;

constexpr std::string_view kSecret = "CONTENIDO-SECRETO-7781";
constexpr std::uint64_t kSparseSize = 5ull << 30; // past 4 GB, so no 32-bit size holds it
// GCC says __SANITIZE_ADDRESS__, clang only __has_feature(address_sanitizer).
#if defined(__SANITIZE_ADDRESS__)
#define ENLAZIO_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ENLAZIO_UNDER_ASAN 1
#endif
#endif
#if defined(ENLAZIO_UNDER_ASAN)
// AddressSanitizer's shadow memory and quarantine roughly double what a run holds.
constexpr long kMemoryBoundKb = 400 * 1024;
#else
constexpr long kMemoryBoundKb = 200 * 1024;
#endif
constexpr long long kReadBoundBytes = 64ll << 20;

// Where a row's document can point to what it must never read.
struct Setting {
    fs::path secretFile; // a local file holding kSecret
    fs::path secretDtd;  // a DTD that would declare &y; as kSecret
    int port = 0;        // a local port that listens and must see no connection
};

struct HostileCase {
    const char* name;
    std::string (*document)(const Setting&); // the chosen file's bytes
    std::optional<std::string> exportError;  // part of the export's message; nullopt: it finishes
    std::optional<std::string> importError;  // likewise for the import
    bool sparse = false;                     // the document is grown to kSparseSize without writing it
};

std::string doc(std::string_view doctype, std::string_view value, std::string_view outside = "")
{
    return std::string(doctype) + "<SERVICIO><ENTRADAS>" + std::string(outside) +
           "</ENTRADAS><SALIDAS><listasal seq=\"MATERIAS\"><listasal><salida>G1</salida><salida>" + std::string(value) +
           "</salida></listasal></listasal></SALIDAS></SERVICIO>\n";
}

std::string fileEntity(const Setting& s)
{
    return "<!DOCTYPE SERVICIO [<!ENTITY x SYSTEM \"file://" + s.secretFile.string() + "\">]>\n";
}

std::string networkEntity(const Setting& s)
{
    return "<!DOCTYPE SERVICIO [<!ENTITY r SYSTEM \"http://127.0.0.1:" + std::to_string(s.port) + "/secreto\">]>\n";
}

std::string laughs()
{
    return xmltest::entityBombDoctype(12);
}

std::string garbage()
{
    std::string bytes;
    std::uint32_t state = 12345;
    for (int i = 0; i < 4096; ++i) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>(state >> 24);
    }
    return bytes;
}

std::string deep(int depth)
{
    std::string open, close;
    for (int i = 0; i < depth; ++i) {
        open += "<a>";
        close += "</a>";
    }
    return doc("", open + "x" + close);
}

const std::vector<HostileCase>& hostileCases()
{
    static const std::vector<HostileCase> cases = {
        {"FileEntityInAValue", [](const Setting& s) { return doc(fileEntity(s), "&x;"); },
         "la entidad externa \"x\" no se carga", std::nullopt},
        {"FileEntityOutsideTheSections", [](const Setting& s) { return doc(fileEntity(s), "A", "&x;"); },
         std::nullopt, std::nullopt},
        {"FileEntityInAnAttribute",
         [](const Setting& s) {
             return fileEntity(s) + "<SERVICIO><SALIDAS><listasal seq=\"&x;\"/></SALIDAS></SERVICIO>";
         },
         "no es un XML bien formado", "no es un XML bien formado"},
        {"NetworkEntity", [](const Setting& s) { return doc(networkEntity(s), "&r;", "&r;"); },
         "la entidad externa \"r\" no se carga", std::nullopt},
        {"NetworkDtd",
         [](const Setting& s) {
             return doc("<!DOCTYPE SERVICIO SYSTEM \"http://127.0.0.1:" + std::to_string(s.port) + "/d.dtd\">\n", "A");
         },
         std::nullopt, std::nullopt},
        {"ExternalParameterEntity",
         [](const Setting& s) {
             return doc("<!DOCTYPE SERVICIO [<!ENTITY % p SYSTEM \"file://" + s.secretDtd.string() + "\"> %p;]>\n",
                        "&y;");
         },
         "Entity 'y' not defined", "Entity 'y' not defined"},
        {"ExternalDtd",
         [](const Setting& s) { return doc("<!DOCTYPE SERVICIO SYSTEM \"" + s.secretDtd.string() + "\">\n", "&y;"); },
         "Entity 'y' not defined", "Entity 'y' not defined"},
        {"XInclude",
         [](const Setting& s) {
             return doc("", "A<xi:include xmlns:xi=\"http://www.w3.org/2001/XInclude\" parse=\"text\" href=\"" +
                                s.secretFile.string() + "\"/>");
         },
         std::nullopt, std::nullopt},
        {"EntityExpansionBomb", [](const Setting&) { return doc(laughs(), "&l12;"); }, "se expanden sin medida",
         "se expanden sin medida"},
        {"RepeatedLargeEntity",
         [](const Setting&) {
             std::string refs;
             for (int i = 0; i < 4000; ++i)
                 refs += "&a;";
             return doc("<!DOCTYPE SERVICIO [<!ENTITY a \"" + std::string(20000, 'a') + "\">]>\n", refs);
         },
         "las entidades se expanden a más de", std::nullopt},
        {"BinaryGarbage", [](const Setting&) { return garbage(); }, "no es un XML bien formado",
         "no es un XML bien formado"},
        {"EmptyFile", [](const Setting&) { return std::string(); }, "el archivo está vacío", "el archivo está vacío"},
        {"SparseFileOfZeros", [](const Setting&) { return std::string(); }, "no contiene ningún elemento XML",
         "no contiene ningún elemento XML", true},
        {"SparseFileAfterAGoodStart",
         [](const Setting&) { return std::string("<?xml version=\"1.0\"?>\n<SERVICIO><SALIDAS><listasal seq=\"AULAS\">"); },
         "no es un XML bien formado", "no es un XML bien formado", true},
        {"DeepNesting", [](const Setting&) { return deep(100000); }, "se anidan a más de 256 niveles",
         "se anidan a más de 256 niveles"},
        {"UnknownEncoding",
         [](const Setting&) { return "<?xml version=\"1.0\" encoding=\"x-desconocida\"?>" + doc("", "A"); },
         "no es un XML bien formado", "no es un XML bien formado"},
    };
    return cases;
}

// What a run in the child process gives back.
struct Outcome {
    std::optional<std::string> error; // the message, when the run failed
};

struct ChildReport {
    Outcome exportRun, importRun;
    long maxRssGrowthKb = 0;
    long long bytesRead = 0;
};

long long bytesReadSoFar()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value)
        if (key == "rchar:")
            return value;
    return 0;
}

long maxRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::string oneLine(std::string text)
{
    for (char& c : text)
        if (c == '\n')
            c = ' ';
    return text;
}

// Both runs in a child process, which measures its own peak memory and what it read.
ChildReport runInChild(const fs::path& chosen, const fs::path& exchange)
{
    int channel[2];
    EXPECT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const long rssBefore = maxRssKb();
        const long long readBefore = bytesReadSoFar();
        std::ostringstream out;
        auto run = [&](auto&& body) {
            try {
                body();
                out << "ok\n";
            } catch (const std::exception& e) {
                out << "error " << oneLine(e.what()) << "\n";
            }
        };
        run([&] { runExport(chosen, exchange); });
        run([&] { runImport(chosen, exchange); });
        out << maxRssKb() - rssBefore << "\n" << bytesReadSoFar() - readBefore << "\n";
        const std::string text = out.str();
        if (write(channel[1], text.data(), text.size()) < 0)
            _exit(2);
        _exit(0);
    }
    close(channel[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(got));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the runs did not end cleanly: status " << status;

    ChildReport report;
    std::istringstream in(text);
    std::string line;
    for (Outcome* outcome : {&report.exportRun, &report.importRun}) {
        std::getline(in, line);
        if (line.rfind("error ", 0) == 0)
            outcome->error = line.substr(6);
    }
    in >> report.maxRssGrowthKb >> report.bytesRead;
    return report;
}

// A listening socket on the loopback that records whether anybody came.
class Listener {
public:
    Listener()
    {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(m_fd, 8) != 0 || getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            ADD_FAILURE() << "no loopback socket: " << std::strerror(errno);
        m_port = ntohs(address.sin_port);
    }
    ~Listener() { close(m_fd); }
    int port() const { return m_port; }
    bool somebodyConnected() const
    {
        const int connection = accept(m_fd, nullptr, nullptr);
        if (connection >= 0)
            close(connection);
        return connection >= 0;
    }

private:
    int m_fd = -1;
    int m_port = 0;
};

std::map<std::string, std::string> folderBytes(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file() && entry.file_size() < (1u << 20))
            files[entry.path().filename().string()] = readBytes(entry.path());
        else
            files[entry.path().filename().string()] = "(" + std::to_string(entry.file_size()) + " bytes)";
    return files;
}

void PrintTo(const HostileCase& c, std::ostream* out)
{
    *out << c.name;
}

class HostileDocument : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileDocument, NeverReadsOutsideStaysBoundedAndSaysWhy)
{
    const HostileCase& c = GetParam();
    TempFolder folder;
    Listener listener;
    Setting setting;
    setting.secretFile = folder.write("secreto.txt", kSecret);
    setting.secretDtd = folder.write("defs.dtd", "<!ENTITY y \"" + std::string(kSecret) + "\">");
    setting.port = listener.port();

    // An exchange folder with every table and SOLUC, and an older result beside the document.
    const fs::path exchange = fuzz::makeSchool(folder.path());
    fs::create_directory(folder.path() / "delphos");
    const fs::path chosen = folder.write("delphos/horario.xml", c.document(setting));
    if (c.sparse)
        fs::resize_file(chosen, kSparseSize);
    const fs::path older = folder.write("delphos/ResultadoAulixhorario.xml", "anterior");
    const auto tablesBefore = folderBytes(exchange);
    const auto documentsBefore = folderBytes(folder.path() / "delphos");

    const ChildReport report = runInChild(chosen, exchange);

    EXPECT_FALSE(listener.somebodyConnected()) << "a run went to the network";
    EXPECT_LT(report.maxRssGrowthKb, kMemoryBoundKb) << "kB of memory";
    EXPECT_LT(report.bytesRead, kReadBoundBytes) << "bytes read";
    const auto checkOutcome = [&](const char* run, const Outcome& outcome, const std::optional<std::string>& expected) {
        SCOPED_TRACE(run);
        if (expected) {
            ASSERT_TRUE(outcome.error.has_value()) << "the run finished";
            EXPECT_NE(outcome.error->find(*expected), std::string::npos) << *outcome.error;
            EXPECT_NE(outcome.error->find("horario.xml"), std::string::npos) << *outcome.error;
            EXPECT_TRUE(fuzz::isValidUtf8(*outcome.error)) << *outcome.error;
        } else {
            EXPECT_FALSE(outcome.error.has_value()) << *outcome.error;
        }
        EXPECT_EQ(outcome.error.value_or("").find(kSecret), std::string::npos);
    };
    checkOutcome("export", report.exportRun, c.exportError);
    checkOutcome("import", report.importRun, c.importError);

    // A failed export touches no table; a finished one rebuilds them. No table holds the secret.
    const auto tablesAfter = folderBytes(exchange);
    if (report.exportRun.error) {
        EXPECT_EQ(tablesAfter, tablesBefore);
    }
    for (const auto& [name, bytes] : tablesAfter)
        EXPECT_EQ(bytes.find(kSecret), std::string::npos) << name;

    // The chosen document never changes; a failed import keeps the older result and leaves nothing.
    const auto documentsAfter = folderBytes(folder.path() / "delphos");
    EXPECT_EQ(documentsAfter.at("horario.xml"), documentsBefore.at("horario.xml"));
    if (report.importRun.error) {
        EXPECT_EQ(documentsAfter, documentsBefore);
    } else {
        const std::string result = readBytes(older);
        EXPECT_NE(result, "anterior");
        EXPECT_EQ(result.find(kSecret), std::string::npos) << result;
        EXPECT_NE(result.find("Servicio finalizado Correctamente"), std::string::npos) << result;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileDocument, ::testing::ValuesIn(hostileCases()),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace enlazio
