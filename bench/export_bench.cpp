// SPDX-License-Identifier: MIT
// Purpose: the export run next to its floor, a streaming parse of the same document that keeps nothing.
#include "bench/workload.h"

#include "export/conversions.h"

#include <benchmark/benchmark.h>
#include <libxml/xmlreader.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace enlazio;

namespace {

// Documents are generated once per size and encoding, in a folder of their own that goes
// with the process.
class Documents {
public:
    ~Documents()
    {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    const fs::path& get(std::size_t schools, bench::Encoding encoding)
    {
        const std::string name = std::to_string(schools) + (encoding == bench::Encoding::Utf8 ? "-utf8" : "-latin1");
        auto it = m_documents.find(name);
        if (it != m_documents.end())
            return it->second;
        fs::create_directories(m_root / name);
        bench::ZoneOptions options;
        options.schools = schools;
        options.encoding = encoding;
        const fs::path file = m_root / name / "documento.xml";
        bench::Zone(options).writeDocument(file);
        return m_documents.emplace(name, file).first->second;
    }

private:
    fs::path m_root = fs::temp_directory_path() / ("enlazio-export-bench-" + std::to_string(::getpid()));
    std::map<std::string, fs::path> m_documents;
};

Documents& documents()
{
    static Documents instance;
    return instance;
}

bench::Encoding encodingOf(const benchmark::State& state)
{
    return state.range(1) == 0 ? bench::Encoding::Utf8 : bench::Encoding::Latin1;
}

void setBytes(benchmark::State& state, const fs::path& file)
{
    const auto bytes = static_cast<std::int64_t>(fs::file_size(file));
    state.SetBytesProcessed(bytes * static_cast<std::int64_t>(state.iterations()));
    state.counters["doc_MB"] = static_cast<double>(bytes) / 1e6;
}

// What `xmllint --stream --noout` does: libxml2's streaming reader over the whole file,
// with the options the export uses, keeping nothing.
void streamingParse(benchmark::State& state)
{
    const fs::path& file = documents().get(static_cast<std::size_t>(state.range(0)), encodingOf(state));
    for (auto _ : state) {
        xmlTextReaderPtr reader = xmlReaderForFile(file.c_str(), nullptr, XML_PARSE_NONET);
        int status;
        while ((status = xmlTextReaderRead(reader)) == 1) {
        }
        xmlFreeTextReader(reader);
        if (status != 0)
            state.SkipWithError("el documento no se lee");
    }
    setBytes(state, file);
}

// The export's own read: the same pass, keeping the six sections' values.
void readSections(benchmark::State& state)
{
    const fs::path& file = documents().get(static_cast<std::size_t>(state.range(0)), encodingOf(state));
    for (auto _ : state) {
        ServiceSections sections = readServiceSections(file);
        benchmark::DoNotOptimize(sections);
    }
    setBytes(state, file);
}

// The six conversions alone, from sections read beforehand.
void conversions(benchmark::State& state)
{
    const fs::path& file = documents().get(static_cast<std::size_t>(state.range(0)), encodingOf(state));
    const ServiceSections sections = readServiceSections(file);
    const fs::path exchange = file.parent_path() / "intercambio";
    fs::create_directories(exchange);
    std::size_t records = 0;
    for (auto _ : state) {
        records = 0;
        for (const TableCount& count : exportConversions(sections, exchange))
            records += count.records;
    }
    state.counters["records"] = static_cast<double>(records);
    state.counters["ns_per_record"] = benchmark::Counter(
        static_cast<double>(records) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    setBytes(state, file);
}

// The whole export run: read, then the six tables.
void exportRun(benchmark::State& state)
{
    const fs::path& file = documents().get(static_cast<std::size_t>(state.range(0)), encodingOf(state));
    const fs::path exchange = file.parent_path() / "intercambio";
    fs::create_directories(exchange);
    for (auto _ : state) {
        auto counts = runExport(file, exchange);
        benchmark::DoNotOptimize(counts);
    }
    setBytes(state, file);
}

// One school (about 0.9 MB) and a zone of 22 schools (about 20 MB), in both encodings.
void sizes(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"schools", "latin1"})->Unit(benchmark::kMillisecond);
    for (int latin1 : {0, 1})
        for (int schools : {1, 22})
            b->Args({schools, latin1});
}

} // namespace

BENCHMARK(streamingParse)->Apply(sizes);
BENCHMARK(readSections)->Apply(sizes);
BENCHMARK(conversions)->Apply(sizes);
BENCHMARK(exportRun)->Apply(sizes);

BENCHMARK_MAIN();
