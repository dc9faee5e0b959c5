# Windows x64 (mingw-w64 x86_64).
set(QOR_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
