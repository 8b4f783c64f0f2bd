# kelm_add_test(NAME name SOURCES files... LIBS libs... [GUI] [LOCK resource])
# One test executable per area. GUI tests run on Qt's offscreen platform.
# Tests that share a LOCK resource (the one sound server's volume and sound)
# never run at the same time under `ctest -j`.
find_package(GTest REQUIRED)
include(GoogleTest)

if(KELM_WITH_GUI)
  add_library(kelm_gui_test_main STATIC ${CMAKE_SOURCE_DIR}/tests/support/GuiTestMain.cpp)
  target_link_libraries(kelm_gui_test_main PUBLIC Qt6::Widgets GTest::gtest)
endif()

function(kelm_add_test)
  cmake_parse_arguments(T "GUI" "NAME;LOCK" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest kelm_warnings)
  # A test file may bring its own main; otherwise these archives supply one
  # (GUI tests get a QApplication on the offscreen platform).
  if(T_GUI)
    target_link_libraries(${T_NAME} PRIVATE Qt6::Widgets Qt6::Test kelm_gui_test_main)
  else()
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${T_NAME} PRIVATE
    KELM_PROGRAM_DIR="${KELM_PROGRAM_DIR}" KELM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  set(lock)
  if(T_LOCK)
    set(lock RESOURCE_LOCK ${T_LOCK})
  endif()
  gtest_discover_tests(${T_NAME}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300 ${lock}
    DISCOVERY_TIMEOUT 60)
endfunction()
