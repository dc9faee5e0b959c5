# The Windows test run: the suite under Wine, and the DLL's tables read on the build machine.
# Included from tests/CMakeLists.txt.

# The export and import tables of qor.dll, read with objdump -p: runs without Wine.
find_program(QOR_OBJDUMP NAMES ${QOR_MINGW_TRIPLE}-objdump objdump)
add_test(NAME qor_dll_tables
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${QOR_OBJDUMP} -DLIBRARY=$<TARGET_FILE:qor>
          -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/check_dll_tables.cmake)

if(NOT QOR_CAN_RUN_TESTS)
  # Never a silent pass: the run is reported as skipped, with the reason.
  add_test(NAME qor_tests_under_wine
    COMMAND ${CMAKE_COMMAND} -E echo "skipped: ${QOR_CANNOT_RUN_REASON}")
  set_tests_properties(qor_tests_under_wine PROPERTIES SKIP_REGULAR_EXPRESSION "skipped:")
  return()
endif()

# Wine quiet and in a prefix of this build's own; the first run sets the prefix up. wineboot
# returns while the new prefix's own processes are still at work: the build waits for them, so
# that no test starts while the prefix is being finished.
set(QOR_WINE_ENVIRONMENT WINEDEBUG=-all WINEPREFIX=${PROJECT_BINARY_DIR}/wineprefix)
find_program(QOR_WINESERVER NAMES wineserver wineserver64 PATHS /usr/lib/wine)
set(qor_wait_for_wine "")
if(QOR_WINESERVER)
  set(qor_wait_for_wine COMMAND ${CMAKE_COMMAND} -E env ${QOR_WINE_ENVIRONMENT} ${QOR_WINESERVER} -w)
endif()
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/wineprefix/system.reg
  COMMAND ${CMAKE_COMMAND} -E env ${QOR_WINE_ENVIRONMENT} ${CMAKE_CROSSCOMPILING_EMULATOR}
          wineboot --init
  ${qor_wait_for_wine}
  COMMENT "Setting up the Wine prefix for the tests")
add_custom_target(qor_wine_prefix ALL DEPENDS ${PROJECT_BINARY_DIR}/wineprefix/system.reg)

gtest_discover_tests(qor_tests
  DISCOVERY_MODE PRE_TEST
  DISCOVERY_TIMEOUT 120
  PROPERTIES ENVIRONMENT "${QOR_WINE_ENVIRONMENT}")
