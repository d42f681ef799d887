// SPDX-License-Identifier: MIT
// Purpose: libFuzzer target: any bytes as a table file, then every read operation and an import over it as SOLUC.
#include "tests/fuzz/fuzz_drivers.h"

using namespace enlazio::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const fs::path school = [] {
        makeSchool(fuzzScratch());
        return fuzzScratch() / "escuela.xml";
    }();
    return runOne([&] { exerciseTable(data, size, school); });
}
