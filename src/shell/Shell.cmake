# qor.dll: the module shell of the Windows build. Included from src/CMakeLists.txt.

# The forwarding export and the module's exports. On x86 the forwarding function is __stdcall:
# its object symbol carries the "@36" decoration that the .def file names.
target_sources(qor_core PRIVATE
  shell/create_process_with_token.cpp
  shell/forward_create_process.cpp)
# DllMain belongs to qor.dll alone (the tests link QOR's objects into a program).
target_sources(qor PRIVATE shell/dll_main.cpp)
target_link_libraries(qor_core PUBLIC kernel32)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(QOR_FORWARD_SYMBOL qorCreateProcessWithTokenW@36)
else()
  set(QOR_FORWARD_SYMBOL qorCreateProcessWithTokenW)
endif()
configure_file(shell/qor.def.in ${CMAKE_CURRENT_BINARY_DIR}/qor.def @ONLY)
target_sources(qor PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/qor.def)
# qor.dll and its import library qor.dll.a, without mingw's "lib" prefix: hosts load "qor.dll".
set_target_properties(qor PROPERTIES PREFIX "" IMPORT_PREFIX "")
target_link_options(qor PRIVATE -Wl,--no-undefined)
