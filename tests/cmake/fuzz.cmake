# SPDX-License-Identifier: MIT
# Purpose: libFuzzer targets for the table reader, the document read and the result, and their bounded `fuzz` tests.
#
# Off by default; a build of its own with clang:
#   CXX=clang++-14 cmake -S . -B build-fuzz -DENLAZIO_FUZZ=ON -DENLAZIO_SANITIZE=ON -DBUILD_GUI=OFF
#   cmake --build build-fuzz -j2 && ctest --test-dir build-fuzz -L fuzz
# Each test runs its target for ENLAZIO_FUZZ_SECONDS on the seeds in tests/data/fuzz (tables/ or documents/)
# plus what earlier runs found (kept in the build folder).
option(ENLAZIO_FUZZ "Build the libFuzzer targets and the fuzz tests (clang only)" OFF)
set(ENLAZIO_FUZZ_SECONDS 60 CACHE STRING "Seconds each fuzz test runs its target")
if(NOT ENLAZIO_FUZZ)
  return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "ENLAZIO_FUZZ needs clang (CXX=clang++-14), not ${CMAKE_CXX_COMPILER_ID}")
endif()
if(NOT ENLAZIO_SANITIZE)
  message(FATAL_ERROR "ENLAZIO_FUZZ needs ENLAZIO_SANITIZE=ON: a finding is a sanitizer report as often as a crash")
endif()

# Coverage feedback from the core as well as from the targets.
target_compile_options(enlazio_core PRIVATE -fsanitize=fuzzer-no-link)

# Each target with its dictionary and its seeds: tables or documents.
set(_fuzz_targets dbf_reader service_sections result_document)
set(_fuzz_inputs tables documents documents)
set(_fuzz_dictionaries dbf xml xml)
foreach(target inputs dictionary IN ZIP_LISTS _fuzz_targets _fuzz_inputs _fuzz_dictionaries)
  add_executable(fuzz_${target} ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/fuzz_${target}.cpp)
  target_link_libraries(fuzz_${target} PRIVATE enlazio_core)
  target_compile_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
  enlazio_warnings(fuzz_${target})

  set(work ${CMAKE_CURRENT_BINARY_DIR}/fuzz/${target})
  file(MAKE_DIRECTORY ${work}/corpus ${work}/artifacts)
  set(dictionary ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/${dictionary}.dict)
  # New inputs go to the first folder; the seeds in the source tree are only read.
  add_test(NAME fuzz.${target}
           COMMAND fuzz_${target} -max_total_time=${ENLAZIO_FUZZ_SECONDS} -timeout=20 -rss_limit_mb=2560
                   -max_len=65536 -dict=${dictionary} -artifact_prefix=${work}/artifacts/ -print_final_stats=1
                   ${work}/corpus ${CMAKE_CURRENT_SOURCE_DIR}/data/fuzz/${inputs})
  math(EXPR timeout "${ENLAZIO_FUZZ_SECONDS} + 120")
  set_tests_properties(fuzz.${target} PROPERTIES LABELS fuzz TIMEOUT ${timeout})
endforeach()
