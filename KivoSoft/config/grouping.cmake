# The configuration window's grouping dialog and its unit-ID utilities.
add_library(kivo_config_grouping STATIC
    ${CMAKE_CURRENT_LIST_DIR}/frmModuleGrouping.h ${CMAKE_CURRENT_LIST_DIR}/frmModuleGrouping.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UnitIdUtilities.h ${CMAKE_CURRENT_LIST_DIR}/UnitIdUtilities.cpp)
target_link_libraries(kivo_config_grouping PUBLIC kivo_model kivo_shell kivo_controls kivo_desktop
                      kivo_basic Qt6::Widgets)

# Against the simulator through the real link library, registered by each test in a registry of
# its own.
if(TARGET kivox_testing)
  kivo_add_test(NAME grouping_test
      SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/grouping_test.cpp
              ${CMAKE_CURRENT_LIST_DIR}/tests/grouping_fixture.h
      LIBS kivo_config_grouping kivox_testing QT)
  kivo_add_test(NAME unitid_test
      SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/unitid_test.cpp
              ${CMAKE_CURRENT_LIST_DIR}/tests/grouping_fixture.h
      LIBS kivo_config_grouping kivox_testing QT)
endif()
