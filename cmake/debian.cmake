# The Debian packages (cpack -G DEB in a build configured with -DCMAKE_INSTALL_PREFIX=/usr), to
# Debian's policy: libcom-kestravo1 (the library, with its symbols file and the ldconfig trigger),
# libcom-kestravo-dev (header, CMake package, pkg-config file, COM-KESTRAVO(3)), com-kestravo-tools
# (the programs, their man pages, completion) and python3-kestravo (the Python package). Each has its
# copyright file and changelog; man pages are compressed, programs stripped, no RUNPATH.
set(KESTRAVO_DEB_MAINTAINER "COM-KESTRAVO maintainers <com-kestravo@example.org>" CACHE STRING
    "The Maintainer field of the Debian packages")
set(KESTRAVO_DEB_PACKAGES libcom-kestravo1 libcom-kestravo-dev com-kestravo-tools python3-kestravo)
set(KESTRAVO_DEB_COMPONENTS Runtime Development Tools Python)
# com-kestravo-tango (the Tango device server, its man page, documentation and example file
# database) where the server is built and it is asked for: the tests/run-all tango leg builds it.
option(KESTRAVO_DEB_TANGO "Also build the com-kestravo-tango package" OFF)
if(KESTRAVO_DEB_TANGO AND TARGET COM-KESTRAVO-Tango)
  list(APPEND KESTRAVO_DEB_PACKAGES com-kestravo-tango)
  list(APPEND KESTRAVO_DEB_COMPONENTS Tango)
endif()

set(deb_dir ${CMAKE_CURRENT_BINARY_DIR}/deb)
file(MAKE_DIRECTORY ${deb_dir})

# debian/copyright in the machine-readable format, with the licence's text.
file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE license_lines)
set(license_text "")
foreach(line IN LISTS license_lines)
  if(line STREQUAL "")
    string(APPEND license_text " .\n")
  else()
    string(APPEND license_text " ${line}\n")
  endif()
endforeach()
file(WRITE ${deb_dir}/copyright
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: COM-KESTRAVO\n\n"
  "Files: *\n"
  "Copyright: 2026 The COM-KESTRAVO authors\n"
  "License: Expat\n${license_text}")

# The changelog of a native package, compressed as policy says (gzip -9n, no time stamp).
string(TIMESTAMP deb_date "%a, %d %b %Y 00:00:00 +0000" UTC)
file(WRITE ${deb_dir}/changelog
  "com-kestravo (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
  "  * Release ${PROJECT_VERSION}; the changes are in the project's CHANGELOG.md.\n\n"
  " -- ${KESTRAVO_DEB_MAINTAINER}  ${deb_date}\n")
execute_process(COMMAND ${KESTRAVO_GZIP} -9nf ${deb_dir}/changelog)

configure_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/deb/symbols.in ${deb_dir}/symbols COPYONLY)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/deb/triggers ${deb_dir}/triggers COPYONLY)
# Scripts of our own keep CPack from writing ones that call ldconfig (the trigger does that).
foreach(script IN ITEMS postinst postrm)
  file(COPY ${CMAKE_CURRENT_SOURCE_DIR}/cmake/deb/${script} DESTINATION ${deb_dir}
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()

foreach(component package IN ZIP_LISTS KESTRAVO_DEB_COMPONENTS KESTRAVO_DEB_PACKAGES)
  install(FILES ${deb_dir}/copyright ${deb_dir}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package}
          COMPONENT ${component} EXCLUDE_FROM_ALL)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/deb/${package}.lintian-overrides)
    install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/cmake/deb/${package}.lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${package}
            COMPONENT ${component} EXCLUDE_FROM_ALL)
  endif()
endforeach()
install(DIRECTORY python/kestravo DESTINATION lib/python3/dist-packages COMPONENT Python EXCLUDE_FROM_ALL
  FILES_MATCHING PATTERN "*.py" PATTERN "py.typed" PATTERN "__pycache__" EXCLUDE)

set(CPACK_PACKAGE_NAME com-kestravo)
set(CPACK_PACKAGE_VENDOR "COM-KESTRAVO")
set(CPACK_PACKAGE_CONTACT "${KESTRAVO_DEB_MAINTAINER}")
# Each package's description: its own synopsis on the first line, then the long text, whose lines
# CPack starts with one space (wrapped text; a line that began with a space would be shown verbatim).
# No package-wide summary: CPack would put it above every package's own.
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${KESTRAVO_DEB_COMPONENTS})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The programs need the library of the package beside them; dpkg-shlibdeps finds it in the build.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libcom-kestravo1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "KESTRAVO pulse generator control library
The shared library libCOM-KESTRAVO.so.1: the serial line and the command
protocol of the KESTRAVO laboratory pulse generator for up to sixteen
devices at once, with a plain C interface.")
# shlibs and symbols, the ldconfig trigger (no maintainer scripts of its own).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA "${deb_dir}/symbols;${deb_dir}/triggers;${deb_dir}/postinst;${deb_dir}/postrm")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libcom-kestravo-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libcom-kestravo1 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "KESTRAVO pulse generator control library (development files)
The C header, the CMake package, the pkg-config file and the manual page
of libCOM-KESTRAVO, the library that controls the KESTRAVO laboratory
pulse generator over a serial line.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME com-kestravo-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libcom-kestravo1 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_TOOLS_PACKAGE_SUGGESTS "gnuplot-nox")
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "KESTRAVO pulse generator console program, panel and simulator
COM-KESTRAVO-Control drives the KESTRAVO laboratory pulse generator from a
terminal or a script; COM-KESTRAVO-Panel serves its front panel to a web
browser; COM-KESTRAVO-Sim serves a simulated device on a pseudo-terminal or
over RFC 2217, and COM-KESTRAVO-Plot draws the program's data logs.")

set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-kestravo)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3, libcom-kestravo1 (>= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_PYTHON_DESCRIPTION "KESTRAVO pulse generator control from Python
The Python package kestravo: the KESTRAVO laboratory pulse generator
through the libCOM-KESTRAVO library, with checked arguments, typed results
and the simulated device for tests.")
set(CPACK_DEBIAN_TANGO_PACKAGE_NAME com-kestravo-tango)
set(CPACK_DEBIAN_TANGO_PACKAGE_DEPENDS "libcom-kestravo1 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_TANGO_DESCRIPTION "KESTRAVO pulse generator Tango device server
COM-KESTRAVO-Tango serves KESTRAVO laboratory pulse generators to a Tango
Controls system as devices of class KestravoPulseGenerator: every setting
an attribute in seconds or by name, identity, states and housekeeping
polled with change and archive events, and the stored configurations as
commands. It runs with a Tango database or from a file database.")
include(CPack)
