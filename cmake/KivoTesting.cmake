# Test helpers shared by every folder.
#
#   kivo_add_test(NAME name SOURCES a.cpp ... [LIBS lib ...] [QT])
#
# builds a GoogleTest executable into <build>/tests (not the program folder) and registers each
# of its cases with CTest. With QT the executable gets a main() that creates a QApplication on the
# offscreen platform, so widget tests never need a display.
if(NOT KIVO_BUILD_TESTS)
  function(kivo_add_test)
  endfunction()
  return()
endif()

enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

set(KIVO_TEST_BIN_DIR ${CMAKE_BINARY_DIR}/tests)
set(KIVO_TEST_ENV
    "QT_QPA_PLATFORM=offscreen"
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1"
    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/scripts/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
    "KIVO_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    "KIVO_PROGRAM_DIR=${KIVO_PROGRAM_DIR}")

function(kivo_add_test)
  cmake_parse_arguments(T "QT" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KIVO_TEST_BIN_DIR})
  target_compile_definitions(${T_NAME} PRIVATE
      KIVO_SOURCE_DIR="${CMAKE_SOURCE_DIR}" KIVO_PROGRAM_DIR="${KIVO_PROGRAM_DIR}")
  if(T_QT)
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} kivo_qt_test_main Qt6::Test Qt6::Widgets
                          GTest::gtest GTest::gmock)
  else()
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  endif()
  gtest_discover_tests(${T_NAME}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "${KIVO_TEST_ENV}" TIMEOUT 300)
endfunction()

add_library(kivo_qt_test_main STATIC ${CMAKE_SOURCE_DIR}/tests/support/qt_gtest_main.cpp)
target_link_libraries(kivo_qt_test_main PUBLIC kivo_desktop Qt6::Widgets GTest::gtest)
