# SPDX-License-Identifier: MIT
# Purpose: command-line tests of `enlazio-cli importar`.
if(TARGET enlazio-cli)
  foreach(check usage no-file failed sample)
    add_test(NAME import_cli_${check}
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/import_cli.sh ${check})
    set_tests_properties(import_cli_${check} PROPERTIES
      LABELS cli
      TIMEOUT 120
      ENVIRONMENT "CLI=$<TARGET_FILE:enlazio-cli>;SOURCE_DIR=${PROJECT_SOURCE_DIR};PYTHON=/usr/bin/python3")
  endforeach()
endif()
