// SPDX-License-Identifier: MIT
// Purpose: libFuzzer target: any bytes as the chosen document of an import, its output part rebuilt and saved.
#include "tests/fuzz/fuzz_drivers.h"

using namespace enlazio::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const fs::path exchange = makeSchool(fuzzScratch());
    return runOne([&] {
        const fs::path document = fuzzScratch() / "elegido.xml";
        writeBytes(document, data, size);
        exerciseResult(document, exchange);
    });
}
