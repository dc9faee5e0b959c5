# Checks qor.dll's tables with objdump -p: it exports exactly initialize, processMessage,
# finalize and _CreateProcessWithTokenW@36, and imports only the system's own DLLs.
# cmake -DOBJDUMP=... -DLIBRARY=.../qor.dll -P check_dll_tables.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE table RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "objdump -p ${LIBRARY} failed")
endif()

# The names come in the "[Ordinal/Name Pointer] Table" section, one "\t[   0] name" a line,
# up to an empty line.
string(FIND "${table}" "[Ordinal/Name Pointer] Table" start)
if(start EQUAL -1)
  message(FATAL_ERROR "qor.dll has no export name table")
endif()
string(SUBSTRING "${table}" ${start} -1 names)
string(FIND "${names}" "\n\n" end)
string(SUBSTRING "${names}" 0 ${end} names)
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" rows "${names}")
set(exports "")
foreach(row IN LISTS rows)
  string(REGEX REPLACE "^\\[ *[0-9]+\\] " "" name "${row}")
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
