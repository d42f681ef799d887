# SPDX-License-Identifier: MIT
# Purpose: end-to-end tests of enlazio-cli mostrar: golden listings, exit statuses, messages.
#
# Included by tests/CMakeLists.txt it declares the tests; run with cmake -P it is the
# runner of one test, with the CLI from the environment variable ENLAZIO_CLI.

if(CMAKE_SCRIPT_MODE_FILE)
  if(NOT DEFINED ENV{ENLAZIO_CLI})
    message(FATAL_ERROR "ENLAZIO_CLI is not set")
  endif()
  string(REPLACE "|" ";" args "${ARGS}")
  if(DRIVE_C_TABLE)
    # A drive C: of our own whose exchange folder holds the table, in the other letter case.
    file(REMOVE_RECURSE "${WORK_DIR}")
    file(MAKE_DIRECTORY "${WORK_DIR}/drive_c/atemp")
    file(COPY_FILE "${DRIVE_C_TABLE}" "${WORK_DIR}/drive_c/atemp/soluc.dbf")
    set(ENV{ENLAZIO_DRIVE_C} "${WORK_DIR}/drive_c")
  endif()
  execute_process(COMMAND "$ENV{ENLAZIO_CLI}" ${args}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc STREQUAL EXPECT_RC)
    message(FATAL_ERROR "exit status ${rc}, expected ${EXPECT_RC}\nstdout:\n${out}\nstderr:\n${err}")
  endif()
  if(EXPECT_STDOUT)
    file(READ "${EXPECT_STDOUT}" expected)
    string(REPLACE "\r" "" expected "${expected}")
    string(REPLACE "\r" "" actual "${out}")
    if(DATA_DIR)
      string(REPLACE "${DATA_DIR}" "@DATA@" actual "${actual}")
    endif()
    if(NOT actual STREQUAL expected)
      message(FATAL_ERROR "stdout differs from ${EXPECT_STDOUT}\n--- got:\n${actual}--- expected:\n${expected}")
    endif()
  endif()
  if(STDOUT_REGEX AND NOT out MATCHES "${STDOUT_REGEX}")
    message(FATAL_ERROR "stdout does not match '${STDOUT_REGEX}':\n${out}")
  endif()
  if(STDERR_REGEX AND NOT err MATCHES "${STDERR_REGEX}")
    message(FATAL_ERROR "stderr does not match '${STDERR_REGEX}':\n${err}")
  endif()
  if(NOT STDERR_REGEX AND NOT err STREQUAL "")
    message(FATAL_ERROR "unexpected stderr:\n${err}")
  endif()
  return()
endif()

if(NOT TARGET enlazio-cli)
  return()
endif()

set(_dbf_data "${CMAKE_CURRENT_SOURCE_DIR}/data/dbf")

# name, expected exit status, arguments joined by |, then KEY=value options for the runner.
function(enlazio_mostrar_test name rc args)
  add_test(NAME cli.mostrar.${name}
           COMMAND ${CMAKE_COMMAND} -DEXPECT_RC=${rc} "-DARGS=${args}" ${ARGN}
                   -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE})
  set_tests_properties(cli.mostrar.${name} PROPERTIES
    LABELS cli
    ENVIRONMENT "ENLAZIO_CLI=$<TARGET_FILE:enlazio-cli>")
endfunction()

enlazio_mostrar_test(listado 0 "mostrar|SOLUC_MUESTRA|--exchange|${_dbf_data}"
  "-DEXPECT_STDOUT=${_dbf_data}/soluc_muestra.txt" "-DDATA_DIR=${_dbf_data}")
enlazio_mostrar_test(csv 0 "mostrar|${_dbf_data}/soluc_muestra.dbf|--csv"
  "-DEXPECT_STDOUT=${_dbf_data}/soluc_muestra.csv")
enlazio_mostrar_test(carpeta_de_intercambio 0 "mostrar|--csv|SOLUC"
  "-DEXPECT_STDOUT=${_dbf_data}/soluc_muestra.csv" "-DDRIVE_C_TABLE=${_dbf_data}/soluc_muestra.dbf"
  "-DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/mostrar_drive_c")
enlazio_mostrar_test(tabla_inexistente 1 "mostrar|NADA|--exchange|${_dbf_data}"
  "-DSTDERR_REGEX=No existe la tabla NADA\\.DBF")
enlazio_mostrar_test(tabla_truncada 1 "mostrar|${_dbf_data}/truncada.dbf"
  "-DSTDERR_REGEX=truncada\\.dbf está truncada")
enlazio_mostrar_test(sin_tabla 2 "mostrar" "-DSTDERR_REGEX=uso: enlazio-cli mostrar TABLA")
enlazio_mostrar_test(dos_tablas 2 "mostrar|A|B" "-DSTDERR_REGEX=sobra el argumento 'B'.*uso:")
enlazio_mostrar_test(opcion_desconocida 2 "mostrar|A|--tsv" "-DSTDERR_REGEX=opción desconocida '--tsv'")
enlazio_mostrar_test(exchange_sin_carpeta 2 "mostrar|A|--exchange" "-DSTDERR_REGEX=falta la carpeta")
enlazio_mostrar_test(ayuda 0 "mostrar|--help" "-DSTDOUT_REGEX=^uso: enlazio-cli mostrar TABLA.*--csv")
enlazio_mostrar_test(version 0 "mostrar|--version" "-DSTDOUT_REGEX=^enlazio-cli [0-9]+\\.[0-9]+\n$")
enlazio_mostrar_test(nombre_con_extension 0 "mostrar|soluc_muestra.DBF|--csv|--exchange=${_dbf_data}"
  "-DEXPECT_STDOUT=${_dbf_data}/soluc_muestra.csv")
