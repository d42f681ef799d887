# SPDX-License-Identifier: MIT
# Purpose: the window's tests: Qt Test programs under the offscreen platform, end to end under Xvfb.
if(NOT TARGET enlazio_app)
  return()
endif()
find_package(Qt6 REQUIRED COMPONENTS Test Widgets)

set(ENLAZIO_GUI_TEST_DIR ${CMAKE_CURRENT_SOURCE_DIR}/gui)

add_library(enlazio_gui_fake STATIC ${ENLAZIO_GUI_TEST_DIR}/fake_desktop.cpp ${ENLAZIO_GUI_TEST_DIR}/fake_desktop.h)
target_link_libraries(enlazio_gui_fake PUBLIC enlazio_app)
enlazio_warnings(enlazio_gui_fake)

foreach(name ini_file_test main_form_test qt_desktop_test window_test)
  add_executable(${name} ${ENLAZIO_GUI_TEST_DIR}/${name}.cpp)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE enlazio_gui_fake Qt6::Test)
  target_compile_definitions(${name} PRIVATE ENLAZIO_GUI_DATA_DIR="${ENLAZIO_GUI_TEST_DIR}/data")
  enlazio_warnings(${name})
  add_test(NAME gui.${name} COMMAND ${name})
  set_tests_properties(gui.${name} PROPERTIES
    LABELS gui
    TIMEOUT 60
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")
endforeach()

# Helpers of the Xvfb runs: a stand-in for the host program's window, and a window grabber.
foreach(tool host_window grab_window)
  add_executable(enlazio_test_${tool} ${ENLAZIO_GUI_TEST_DIR}/${tool}.cpp)
  target_link_libraries(enlazio_test_${tool} PRIVATE Qt6::Widgets)
  target_compile_definitions(enlazio_test_${tool} PRIVATE QT_NO_CONTEXTLESS_CONNECT)
  enlazio_warnings(enlazio_test_${tool})
endforeach()

foreach(scenario embedded_export embedded_unknown_verb host_gone standalone_cancel typed_arguments screenshot)
  add_test(NAME gui.xvfb.${scenario}
    COMMAND bash ${ENLAZIO_GUI_TEST_DIR}/with_xvfb.sh bash ${ENLAZIO_GUI_TEST_DIR}/${scenario}.sh)
  set_tests_properties(gui.xvfb.${scenario} PROPERTIES
    LABELS gui
    TIMEOUT 90
    ENVIRONMENT "ENLAZIO_EXE=$<TARGET_FILE:enlazio>;ENLAZIO_TEST_HOST=$<TARGET_FILE:enlazio_test_host_window>;ENLAZIO_TEST_GRAB=$<TARGET_FILE:enlazio_test_grab_window>;ENLAZIO_GUI_DATA=${ENLAZIO_GUI_TEST_DIR}/data;ENLAZIO_TEST_OUT=${CMAKE_CURRENT_BINARY_DIR}/gui-out;LC_ALL=C.UTF-8")
endforeach()
