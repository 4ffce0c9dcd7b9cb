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
# The plot tool with its release written in (its --version).
configure_file(tools/COM-KESTRAVO-Plot ${CMAKE_CURRENT_BINARY_DIR}/COM-KESTRAVO-Plot @ONLY)
install(PROGRAMS ${CMAKE_CURRENT_BINARY_DIR}/COM-KESTRAVO-Plot DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Tools)
install(TARGETS COM-KESTRAVO-Sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Tools)
# Man pages are installed compressed (gzip -9n: no name, no time stamp), as Debian's policy wants.
find_program(KESTRAVO_GZIP gzip REQUIRED)
set(KESTRAVO_MAN_DIR ${CMAKE_CURRENT_BINARY_DIR}/man)
file(MAKE_DIRECTORY ${KESTRAVO_MAN_DIR})
set(kestravo_pages COM-KESTRAVO-Control.1 COM-KESTRAVO-Sim.1 COM-KESTRAVO-Plot.1 COM-KESTRAVO.3)
if(KESTRAVO_PANEL)
  list(APPEND kestravo_pages COM-KESTRAVO-Panel.1)
  install(TARGETS COM-KESTRAVO-Panel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Tools)
  install(FILES ${KESTRAVO_MAN_DIR}/COM-KESTRAVO-Panel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Tools)
endif()
if(TARGET COM-KESTRAVO-Tango)
  # The Tango device server, its page, its documentation and an example file database.
  list(APPEND kestravo_pages COM-KESTRAVO-Tango.1)
  install(TARGETS COM-KESTRAVO-Tango RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Tango EXCLUDE_FROM_ALL)
  install(FILES ${KESTRAVO_MAN_DIR}/COM-KESTRAVO-Tango.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT Tango EXCLUDE_FROM_ALL)
  add_custom_command(OUTPUT ${KESTRAVO_MAN_DIR}/tango.md.gz
    COMMAND ${KESTRAVO_GZIP} -9nc ${CMAKE_CURRENT_SOURCE_DIR}/docs/tango.md > ${KESTRAVO_MAN_DIR}/tango.md.gz
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/docs/tango.md VERBATIM)
  list(APPEND kestravo_man_pages ${KESTRAVO_MAN_DIR}/tango.md.gz)
  install(FILES ${KESTRAVO_MAN_DIR}/tango.md.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/com-kestravo-tango
          COMPONENT Tango EXCLUDE_FROM_ALL)
  install(FILES examples/tango/kestravo.res DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/com-kestravo-tango/examples
          COMPONENT Tango EXCLUDE_FROM_ALL)
endif()
foreach(page IN LISTS kestravo_pages)
  add_custom_command(OUTPUT ${KESTRAVO_MAN_DIR}/${page}.gz
    COMMAND ${KESTRAVO_GZIP} -9nc ${CMAKE_CURRENT_SOURCE_DIR}/docs/${page} > ${KESTRAVO_MAN_DIR}/${page}.gz
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/docs/${page} VERBATIM)
  list(APPEND kestravo_man_pages ${KESTRAVO_MAN_DIR}/${page}.gz)
endforeach()
if(KESTRAVO_PANEL)
  # The panel's JSON interface, which its man page points to, beside the package's other documents.
  add_custom_command(OUTPUT ${KESTRAVO_MAN_DIR}/panel.md.gz
    COMMAND ${KESTRAVO_GZIP} -9nc ${CMAKE_CURRENT_SOURCE_DIR}/docs/panel.md > ${KESTRAVO_MAN_DIR}/panel.md.gz
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/docs/panel.md VERBATIM)
  list(APPEND kestravo_man_pages ${KESTRAVO_MAN_DIR}/panel.md.gz)
  install(FILES ${KESTRAVO_MAN_DIR}/panel.md.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/com-kestravo-tools
    COMPONENT Tools)
endif()
# The library's reference as man pages, a page per family and each function's name linked to it,
# where doxygen is found (Debian's doxygen; the test command installs it).
find_program(KESTRAVO_DOXYGEN doxygen)
if(KESTRAVO_DOXYGEN AND NOT CMAKE_CROSSCOMPILING)
  set(KESTRAVO_API_MAN ${CMAKE_CURRENT_BINARY_DIR}/api_man)
  add_custom_command(OUTPUT ${KESTRAVO_API_MAN}/install_links.cmake
    COMMAND ${CMAKE_COMMAND} -DDOXYGEN=${KESTRAVO_DOXYGEN} -DGZIP=${KESTRAVO_GZIP} -DSOURCE=${CMAKE_CURRENT_SOURCE_DIR}
            -DOUT=${KESTRAVO_API_MAN} -DMANDIR=${CMAKE_INSTALL_MANDIR} -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/api_man.cmake
    DEPENDS include/COM-KESTRAVO.h docs/Doxyfile cmake/api_man.cmake VERBATIM)
  list(APPEND kestravo_man_pages ${KESTRAVO_API_MAN}/install_links.cmake)
  install(DIRECTORY ${KESTRAVO_API_MAN}/pages/ DESTINATION ${CMAKE_INSTALL_MANDIR}/man3 COMPONENT Development)
  install(SCRIPT ${KESTRAVO_API_MAN}/install_links.cmake COMPONENT Development)
else()
  message(STATUS "No doxygen: the library's man pages per family are left out")
endif()
add_custom_target(man_pages ALL DEPENDS ${kestravo_man_pages})
install(FILES ${KESTRAVO_MAN_DIR}/COM-KESTRAVO-Control.1.gz ${KESTRAVO_MAN_DIR}/COM-KESTRAVO-Sim.1.gz
  ${KESTRAVO_MAN_DIR}/COM-KESTRAVO-Plot.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Tools)
install(FILES ${KESTRAVO_MAN_DIR}/COM-KESTRAVO.3.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man3 COMPONENT Development)
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

include(${CMAKE_CURRENT_LIST_DIR}/debian.cmake)
