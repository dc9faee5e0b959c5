# Checks qor.dll's tables with objdump -p: it exports exactly initialize, processMessage,
# finalize and _CreateProcessWithTokenW@36, and imports only the system's own DLLs.
# cmake -DOBJDUMP=... -DLIBRARY=.../qor.dll -P check_dll_tables.cmake
execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE table RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "objdump -p ${LIBRARY} failed")
endif()

# Export lines look like "\t[   0] +base[   1] 0000 _CreateProcessWithTokenW@36".
string(REGEX MATCHALL "\\[ *[0-9]+\\] \\+base\\[ *[0-9]+\\] [0-9a-f]+ [^\n]+" rows "${table}")
set(exports "")
foreach(row IN LISTS rows)
  string(REGEX REPLACE ".* " "" name "${row}")
  list(APPEND exports ${name})
endforeach()
list(SORT exports)
set(expected _CreateProcessWithTokenW@36 finalize initialize processMessage)
if(NOT exports STREQUAL expected)
  message(FATAL_ERROR "qor.dll exports [${exports}], expected [${expected}]")
endif()

# Import lines look like "\tDLL Name: KERNEL32.dll".
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${table}")
set(system advapi32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll user32.dll)
foreach(import IN LISTS imports)
  string(REGEX REPLACE "DLL Name: " "" name "${import}")
  string(TOLOWER "${name}" name)
  if(NOT name IN_LIST system AND NOT name MATCHES "^api-ms-win-")
    message(FATAL_ERROR "qor.dll imports ${name}, which is not a system DLL")
  endif()
endforeach()
message(STATUS "qor.dll exports: ${exports}; imports: ${imports}")
