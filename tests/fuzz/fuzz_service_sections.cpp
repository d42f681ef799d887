// SPDX-License-Identifier: MIT
// Purpose: libFuzzer target: any bytes as a service document, then every section, the conversions and the tree load.
#include "tests/fuzz/fuzz_drivers.h"

using namespace enlazio::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const fs::path exchange = [] {
        fs::create_directories(fuzzScratch() / "ATEMP");
        return fuzzScratch() / "ATEMP";
    }();
    return runOne([&] {
        const fs::path document = fuzzScratch() / "documento.xml";
        writeBytes(document, data, size);
        exerciseSections(document, exchange);
    });
}
