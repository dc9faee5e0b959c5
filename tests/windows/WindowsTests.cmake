# The Windows test run: the suite under Wine, and the DLL's tables read on the build machine.
# Included from tests/CMakeLists.txt.

# The export and import tables of qor.dll, read with objdump -p: runs without Wine.
find_program(QOR_OBJDUMP NAMES ${QOR_MINGW_TRIPLE}-objdump objdump)
add_test(NAME qor_dll_tables
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${QOR_OBJDUMP} -DLIBRARY=$<TARGET_FILE:qor>
          -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/check_dll_tables.cmake)

# On 32-bit x86: a host and an applet built with a callee-pops default (gcc -mrtd, as MSVC /Gz)
# still use QOR's caller-cleans convention where they spell QOR_CALL, as plugin.h asks. Read off
# their disassembly; plainAdd, a host function without QOR_CALL, shows that -mrtd is in effect.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  qor_add_applet(qor_callee_pops_applet ${PROJECT_SOURCE_DIR}/examples/applets/label/label.c)
  target_include_directories(qor_callee_pops_applet PRIVATE
    ${PROJECT_SOURCE_DIR}/examples/applets/common)
  target_compile_options(qor_callee_pops_applet PRIVATE -mrtd)
  add_executable(qor_callee_pops_host windows/callee_pops_host.c windows/callee_pops_library.c)
  target_link_libraries(qor_callee_pops_host PRIVATE qor_headers)
  set_source_files_properties(windows/callee_pops_host.c PROPERTIES COMPILE_OPTIONS -mrtd)
  target_link_options(qor_callee_pops_host PRIVATE -municode -static -static-libgcc)
  add_test(NAME qor_callee_pops_applet
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${QOR_OBJDUMP}
            -DBINARY=$<TARGET_FILE:qor_callee_pops_applet>
            -DCALLER_CLEANS=initialize,processMessage,finalize,qorAppletRelease
            -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/check_caller_cleans.cmake)
  add_test(NAME qor_callee_pops_host
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${QOR_OBJDUMP} -DBINARY=$<TARGET_FILE:qor_callee_pops_host>
            -DCALLER_CLEANS=coreReceives,coreLogs -DCALLEE_POPS=plainAdd
            -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/check_caller_cleans.cmake)
endif()

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
