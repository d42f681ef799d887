# SPDX-License-Identifier: MIT
# Purpose: the fault table of enlazio-cli exportar and importar (missing, read-only, locked and full places, lying tables).
if(TARGET enlazio-cli)
  add_test(NAME cli.fallos COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/fault_cli.py)
  set_tests_properties(cli.fallos PROPERTIES
    LABELS cli
    TIMEOUT 600
    ENVIRONMENT "ENLAZIO_CLI=$<TARGET_FILE:enlazio-cli>;ENLAZIO_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endif()
