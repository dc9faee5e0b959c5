# Checks, in the disassembly of a binary built with a callee-pops default (gcc -mrtd), that each
# function in CALLER_CLEANS returns with a plain "ret" (the caller cleans the stack, as QOR does)
# and each one in CALLEE_POPS with "ret $n" (what the default gives a function without QOR_CALL).
# cmake -DOBJDUMP=... -DBINARY=... -DCALLER_CLEANS=a,b [-DCALLEE_POPS=c,d] -P check_caller_cleans.cmake
cmake_minimum_required(VERSION 3.25)
string(REPLACE "," ";" CALLER_CLEANS "${CALLER_CLEANS}")
string(REPLACE "," ";" CALLEE_POPS "${CALLEE_POPS}")
execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${BINARY}
  OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "objdump -d ${BINARY} failed")
endif()

# A function's listing runs from its "<_name>:" label (cdecl names carry a leading underscore,
# stdcall ones may carry "@n") to the next empty line.
function(body_of name out)
  string(REGEX MATCH "<_?${name}(@[0-9]+)?>:\n[^\n]*(\n[^\n]+)*" body "${listing}")
  if(body STREQUAL "")
    message(FATAL_ERROR "${BINARY} has no function ${name}")
  endif()
  set(${out} "${body}" PARENT_SCOPE)
endfunction()

foreach(name IN LISTS CALLER_CLEANS)
  body_of(${name} body)
  if(body MATCHES "ret +\\$" OR NOT body MATCHES "\tret")
    message(FATAL_ERROR "${name} in ${BINARY} does not return with a plain ret:\n${body}")
  endif()
endforeach()
foreach(name IN LISTS CALLEE_POPS)
  body_of(${name} body)
  if(NOT body MATCHES "ret +\\$")
    message(FATAL_ERROR "${name} in ${BINARY} does not pop its arguments: is -mrtd in effect?")
  endif()
endforeach()
