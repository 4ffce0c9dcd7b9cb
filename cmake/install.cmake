# What `cmake --install` puts into a prefix: the library with its soname and development link, the
# header, the console program, a CMake package, a pkg-config file and the program's man page.
include(CMakePackageConfigHelpers)

set(KESTRAVO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/COM-KESTRAVO)

install(TARGETS COM-KESTRAVO EXPORT COM-KESTRAVO-targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES include/COM-KESTRAVO.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development)
install(TARGETS COM-KESTRAVO-Control RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS tools/COM-KESTRAVO-Plot DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS COM-KESTRAVO-Sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES doc/COM-KESTRAVO-Control.1 doc/COM-KESTRAVO-Sim.1 doc/COM-KESTRAVO-Plot.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES doc/COM-KESTRAVO.3 DESTINATION ${CMAKE_INSTALL_MANDIR}/man3 COMPONENT Development)
install(FILES tools/completion/COM-KESTRAVO-Control DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

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
