# qor_add_applet(NAME SOURCES...): builds a UI applet, a shared module (a DLL on Windows) exporting
# initialize, processMessage and finalize. Everything else stays hidden, and the applet's
# references to its own functions bind inside it (QOR and other applets export the same names).
# On Windows the DLL is self-contained: the compiler's runtime is linked in.
function(qor_add_applet name)
  add_library(${name} MODULE ${ARGN})
  set_target_properties(${name} PROPERTIES
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_link_libraries(${name} PRIVATE qor::headers)
  if(WIN32)
    target_link_options(${name} PRIVATE -static -static-libgcc)
  else()
    target_link_options(${name} PRIVATE -Wl,-Bsymbolic-functions)
  endif()
  if(NOT DEFINED QOR_NO_UNDEFINED)
    set(QOR_NO_UNDEFINED -Wl,--no-undefined)
  endif()
  target_link_options(${name} PRIVATE ${QOR_NO_UNDEFINED})
endfunction()
