# The SDK: the headers, libqor.so (qor.dll and its import library on Windows), the host support
# library, qor-host, the sample applets built and as sources, the Windows toolchain files, the
# documents an applet author needs beside the headers, a CMake package and pkg-config files.
include(CMakePackageConfigHelpers)

set_target_properties(qor_headers PROPERTIES EXPORT_NAME headers)
install(TARGETS qor qor_headers qor_host_support qor-host EXPORT qorTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES include/qor/plugin.h include/qor/host_support.h include/qor/applet_support.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/qor)

# Where things go; the package and the .pc files tell them.
set(QOR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/qor)
set(QOR_SAMPLE_APPLETS_DIR ${CMAKE_INSTALL_LIBDIR}/qor/applets)
set(QOR_SAMPLE_SOURCES_DIR ${CMAKE_INSTALL_DATADIR}/qor/examples/applets)
set(QOR_TOOLCHAINS_DIR ${QOR_CMAKE_DIR}/toolchains)
set(QOR_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/qor)

install(DIRECTORY cmake/toolchains/ DESTINATION ${QOR_TOOLCHAINS_DIR} FILES_MATCHING PATTERN "*.cmake")
install(DIRECTORY examples/applets/ DESTINATION ${QOR_SAMPLE_SOURCES_DIR})
install(FILES docs/scenarios.md docs/bindings.md docs/diagnostics.md DESTINATION ${QOR_DOC_DIR})

install(EXPORT qorTargets NAMESPACE qor:: DESTINATION ${QOR_CMAKE_DIR})
configure_package_config_file(cmake/qorConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/qorConfig.cmake
  INSTALL_DESTINATION ${QOR_CMAKE_DIR}
  PATH_VARS CMAKE_INSTALL_BINDIR QOR_SAMPLE_APPLETS_DIR QOR_SAMPLE_SOURCES_DIR QOR_TOOLCHAINS_DIR
            QOR_DOC_DIR)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/qorConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/qorConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/qorConfigVersion.cmake
  cmake/QorApplet.cmake
  cmake/QorScenarioTest.cmake
  DESTINATION ${QOR_CMAKE_DIR})

# Relocatable: the prefix is found from where the .pc file lies.
file(RELATIVE_PATH QOR_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" QOR_PC_TO_PREFIX "${QOR_PC_TO_PREFIX}")
foreach(package qor qor-host-support)
  configure_file(cmake/${package}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${package}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${package}.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()
