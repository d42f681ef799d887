# SPDX-License-Identifier: MIT
# Purpose: end-to-end tests of enlazio-cli exportar: exit statuses, messages and the tables read back with dbfread.
if(TARGET enlazio-cli)
  foreach(case IN ITEMS edge_tables sample_tables default_exchange exit_failed broken_document exit_usage
                        exit_nofile help_version)
    add_test(NAME cli.exportar.${case}
             COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/export_cli.py ${case})
    set_tests_properties(cli.exportar.${case} PROPERTIES
      LABELS cli
      TIMEOUT 120
      ENVIRONMENT "ENLAZIO_CLI=$<TARGET_FILE:enlazio-cli>;ENLAZIO_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  endforeach()
endif()
