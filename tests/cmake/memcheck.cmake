# SPDX-License-Identifier: MIT
# Purpose: a Valgrind-clean export and import of the bundled sample (not in a sanitizer build: the two do not mix).
if(TARGET enlazio-cli AND NOT ENLAZIO_SANITIZE)
  add_test(NAME cli.valgrind COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/memcheck.sh)
  set_tests_properties(cli.valgrind PROPERTIES
    LABELS cli
    TIMEOUT 600
    ENVIRONMENT "CLI=$<TARGET_FILE:enlazio-cli>;SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endif()
