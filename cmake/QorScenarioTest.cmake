# qor_add_scenario_test(NAME SCENARIO [APPLETS DIR] [LIBRARY PATH] [ARGS args...]): registers a
# ctest test that plays SCENARIO (a path relative to the current source directory, or absolute)
# with qor-host and passes when every expectation held (exit 0).
#   APPLETS  the directory ${APPLETS} stands for in the scenario, e.g. $<TARGET_FILE_DIR:myapplet>;
#            the sample applets when it is not given
#   LIBRARY  the libqor qor-host drives; the one installed with it when not given
#   ARGS     further options of "qor-host run", as they are (--stop-on-failure, --log-level 40)
# In a cross build (Windows from Linux) the test runs through CMAKE_CROSSCOMPILING_EMULATOR (Wine).
function(qor_add_scenario_test name scenario)
  cmake_parse_arguments(PARSE_ARGV 2 QOR_SCENARIO "" "APPLETS;LIBRARY" "ARGS")
  if(QOR_SCENARIO_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR
      "qor_add_scenario_test(${name}): unknown arguments ${QOR_SCENARIO_UNPARSED_ARGUMENTS}")
  endif()
  cmake_path(ABSOLUTE_PATH scenario BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
  set(options "")
  if(DEFINED QOR_SCENARIO_APPLETS)
    list(APPEND options --applets ${QOR_SCENARIO_APPLETS})
  endif()
  if(DEFINED QOR_SCENARIO_LIBRARY)
    list(APPEND options --library ${QOR_SCENARIO_LIBRARY})
  endif()
  # The tool's own target in QOR's build, the package's imported one elsewhere: ctest runs either
  # through the emulator of a cross build.
  if(TARGET qor-host)
    set(tool qor-host)
  else()
    set(tool qor::qor-host)
  endif()
  add_test(NAME ${name} COMMAND ${tool} run ${scenario} ${options} ${QOR_SCENARIO_ARGS})
endfunction()
