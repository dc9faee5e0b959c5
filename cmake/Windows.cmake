# The Windows build: mingw-w64 cross-compilation, programs run under Wine.

# Every program and DLL is self-contained: libgcc, libstdc++ and winpthread are linked in, so
# only the system's own DLLs are imported.
add_link_options(-static -static-libgcc -static-libstdc++)
# Windows finds a program's DLLs beside it: the programs and the DLLs they link go together.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)

if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(QOR_WINE wine)
  if(QOR_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QOR_WINE})
  endif()
endif()

# Wine runs 32-bit programs only with its 32-bit part (Debian's wine32:i386) installed.
set(QOR_CAN_RUN_TESTS ON)
set(QOR_CANNOT_RUN_REASON "")
if(CMAKE_CROSSCOMPILING)
  if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(QOR_CAN_RUN_TESTS OFF)
    set(QOR_CANNOT_RUN_REASON "Wine is not installed")
  elseif(CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT EXISTS /usr/lib/wine/wine
         AND NOT EXISTS /usr/lib/i386-linux-gnu/wine/i386-windows/ntdll.dll)
    set(QOR_CAN_RUN_TESTS OFF)
    set(QOR_CANNOT_RUN_REASON "32-bit Wine (wine32:i386) is not installed")
  endif()
endif()

# Debian ships GoogleTest only as sources for other targets: build it here, with its own flags.
if(QOR_BUILD_TESTS)
  set(QOR_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build")
  get_directory_property(qor_saved_options COMPILE_OPTIONS)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${QOR_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "${qor_saved_options}")
endif()
