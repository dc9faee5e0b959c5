# Windows x86 (mingw-w64 i686).
set(QOR_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
