# What `cmake --install` puts into a prefix: the library with its soname and development link, the
# header, the console program, a CMake package, a pkg-config file and the program's man page.
include(CMakePackageConfigHelpers)

set(KESTRAVO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/COM-KESTRAVO)

install(TARGETS COM-KESTRAVO EXPORT COM-KESTRAVO-targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES include/COM-KESTRAVO.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development)
install(TARGETS COM-KESTRAVO-Control RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Tools)
install(PROGRAMS tools/COM-KESTRAVO-Plot DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Tools)
install(TARGETS COM-KESTRAVO-Sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Tools)
install(FILES doc/COM-KESTRAVO-Control.1 doc/COM-KESTRAVO-Sim.1 doc/COM-KESTRAVO-Plot.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Tools)
install(FILES doc/COM-KESTRAVO.3 DESTINATION ${CMAKE_INSTALL_MANDIR}/man3 COMPONENT Development)
install(FILES tools/completion/COM-KESTRAVO-Control DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
  COMPONENT Tools)

install(EXPORT COM-KESTRAVO-targets NAMESPACE COM-KESTRAVO:: FILE COM-KESTRAVO-targets.cmake
  DESTINATION ${KESTRAVO_CMAKE_DIR} COMPONENT Development)
configure_package_config_file(cmake/COM-KESTRAVOConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/COM-KESTRAVOConfig.cmake INSTALL_DESTINATION ${KESTRAVO_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/COM-KESTRAVOConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/COM-KESTRAVOConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/COM-KESTRAVOConfigVersion.cmake
  DESTINATION ${KESTRAVO_CMAKE_DIR} COMPONENT Development)

# The pkg-config file finds its prefix relative to itself, so that the tree can be moved.
file(RELATIVE_PATH KESTRAVO_PC_TO_PREFIX "${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig" "${CMAKE_INSTALL_PREFIX}")
string(REGEX REPLACE "/$" "" KESTRAVO_PC_TO_PREFIX "${KESTRAVO_PC_TO_PREFIX}")
configure_file(cmake/COM-KESTRAVO.pc.in ${CMAKE_CURRENT_BINARY_DIR}/COM-KESTRAVO.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/COM-KESTRAVO.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT Development)

# `cmake --build <dir> --target uninstall` removes what the last `cmake --install` put into its
# prefix (the install manifest lists it).
configure_file(cmake/uninstall.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/cmake_uninstall.cmake @ONLY)
add_custom_target(uninstall COMMAND ${CMAKE_COMMAND} -P ${CMAKE_CURRENT_BINARY_DIR}/cmake_uninstall.cmake)

# Debian packages (cpack -G DEB in a build configured with -DCMAKE_INSTALL_PREFIX=/usr):
# libcom-kestravo1 (the library), libcom-kestravo-dev (header, CMake package, pkg-config file,
# man page of the library) and com-kestravo-tools (the programs, their man pages, completion).
set(CPACK_PACKAGE_NAME com-kestravo)
set(CPACK_PACKAGE_VENDOR "COM-KESTRAVO")
set(CPACK_PACKAGE_CONTACT "COM-KESTRAVO maintainers <kestravo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control of the KESTRAVO laboratory pulse generator over a serial line")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Runtime Development Tools)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The programs need the library of the package beside them; dpkg-shlibdeps finds it in the build.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libcom-kestravo1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libcom-kestravo-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libcom-kestravo1 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME com-kestravo-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libcom-kestravo1 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_TOOLS_PACKAGE_SUGGESTS "gnuplot-nox")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "the shared library libCOM-KESTRAVO.so.1")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "header, CMake package and pkg-config file of COM-KESTRAVO")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "COM-KESTRAVO-Control, COM-KESTRAVO-Sim and COM-KESTRAVO-Plot")
include(CPack)
