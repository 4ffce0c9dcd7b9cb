# The tests of the Windows build, run under Wine (tests/wine/wine_run.sh: a private mount namespace
# whose /dev holds no serial devices, a prefix of the build's own).

# GoogleTest for the cross build, from Debian's googletest source package.
set(KESTRAVO_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources, built for the target")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${KESTRAVO_GOOGLETEST_SOURCE} googletest EXCLUDE_FROM_ALL)
target_compile_options(gtest PRIVATE -w)
target_compile_options(gtest_main PRIVATE -w)

# The Linux build beside this one: its programs are what the Windows ones are compared with, and
# its simulator serves the COM port of the serial path.
set(KESTRAVO_LINUX_BUILD "" CACHE PATH "A Linux build of this tree (for the comparisons)")

set(KESTRAVO_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(wine_run ${CMAKE_CURRENT_SOURCE_DIR}/wine/wine_run.sh)
# Tests that name a Windows target run it through the wrapper.
set(CMAKE_CROSSCOMPILING_EMULATOR ${wine_run})
set_target_properties(COM-KESTRAVO-Control PROPERTIES CROSSCOMPILING_EMULATOR ${wine_run})

add_library(kestravo_test_machinery STATIC support/virtual_clock.cpp support/console_script.cpp)
target_include_directories(kestravo_test_machinery PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(kestravo_test_machinery PUBLIC kestravo_static)

add_library(kestravo_test_support STATIC support/scripted_peer.cpp support/fixture.cpp)
target_include_directories(kestravo_test_support PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(kestravo_test_support PUBLIC kestravo_test_machinery kestravo_static gtest)

# The portable suites: everything but the pseudo-terminal, termios, child-process and
# file-permission tests, which are about Linux.
add_executable(kestravo_tests
  scan_test.cpp
  comport_test.cpp
  link_test.cpp
  sim_test.cpp
  device_test.cpp
  console_test.cpp
  settings_test.cpp
  config_test.cpp
  diagnostics_test.cpp
  concurrency_test.cpp
  fault_matrix_test.cpp
  win32_line_test.cpp
  header_c_test.c
)
target_link_libraries(kestravo_tests PRIVATE kestravo_control kestravo_model kestravo_test_support gtest_main)
target_compile_definitions(kestravo_tests PRIVATE
  KESTRAVO_LIBRARY_PATH="$<TARGET_FILE_NAME:COM-KESTRAVO>"
  KESTRAVO_TEST_DATA="Z:${CMAKE_CURRENT_SOURCE_DIR}/data")

# Wine starts once for the whole run, in a new prefix, and stops at its end.
add_test(NAME wine_start COMMAND ${wine_run} --fresh --wineserver -p)
add_test(NAME wine_stop COMMAND ${wine_run} --wineserver -k)
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "KESTRAVO_WINEPREFIX=${KESTRAVO_WINEPREFIX}")
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "KESTRAVO_WINEPREFIX=${KESTRAVO_WINEPREFIX}")

function(kestravo_wine_test name)
  add_test(NAME ${name} COMMAND ${ARGN})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 600
    ENVIRONMENT "KESTRAVO_WINEPREFIX=${KESTRAVO_WINEPREFIX}")
endfunction()

kestravo_wine_test(windows_suites kestravo_tests)

# The Windows program's output equals the Linux program's, case by case (skipped without a Linux
# build beside this one).
kestravo_wine_test(windows_program_like_linux ${CMAKE_CURRENT_SOURCE_DIR}/wine/compare_programs.sh ${wine_run}
  $<TARGET_FILE:COM-KESTRAVO-Control> ${KESTRAVO_LINUX_BUILD}/COM-KESTRAVO-Control)
set_tests_properties(windows_program_like_linux PROPERTIES SKIP_RETURN_CODE 77)

# The Win32 serial path end to end, over a pseudo-terminal mapped as COM5 and over RFC 2217, against
# the Linux simulator.
add_executable(serial_client wine/serial_client.c)
target_link_libraries(serial_client PRIVATE COM-KESTRAVO)
set_target_properties(serial_client PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
kestravo_wine_test(windows_serial_path ${CMAKE_CURRENT_SOURCE_DIR}/wine/serial_path.sh ${wine_run}
  $<TARGET_FILE:COM-KESTRAVO-Control> ${KESTRAVO_LINUX_BUILD}/COM-KESTRAVO-Control ${KESTRAVO_LINUX_BUILD}/COM-KESTRAVO-Sim
  $<TARGET_FILE:serial_client> ${KESTRAVO_LINUX_BUILD}/tests/serial_client)
# A prefix of its own: the COM port it maps would otherwise stop the tests running beside it, whose
# guard finds a port they did not make.
set_tests_properties(windows_serial_path PROPERTIES SKIP_RETURN_CODE 77
  ENVIRONMENT "KESTRAVO_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix-com")

# The DLL's export table against the Linux library's; only system DLLs imported.
find_program(KESTRAVO_OBJDUMP NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-objdump objdump REQUIRED)
add_test(NAME windows_exports COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine/exports_test.sh ${KESTRAVO_OBJDUMP}
  $<TARGET_FILE:COM-KESTRAVO> ${KESTRAVO_LINUX_BUILD}/libCOM-KESTRAVO.so.${PROJECT_VERSION}
  $<TARGET_FILE:COM-KESTRAVO-Control> $<TARGET_FILE:COM-KESTRAVO-Sim> $<TARGET_FILE:kestravo_tests>)

# The DLL loaded by name and used the ways a host does, 50 rounds of each: unloaded with a slot open,
# left open at exit (the notifications close the slot and the trace), and an exit while another
# thread is inside a call (the process ends at once).
add_executable(dll_lifetime wine/dll_lifetime.c)
add_dependencies(dll_lifetime COM-KESTRAVO)
# Beside the DLL, where Windows looks first.
set_target_properties(dll_lifetime PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
kestravo_wine_test(windows_dll_lifetime ${CMAKE_CURRENT_SOURCE_DIR}/wine/dll_lifetime.sh ${wine_run}
  $<TARGET_FILE:dll_lifetime> 50)

# A host that loads, uses and unloads the DLL 2,000 times in one process ends with the private bytes
# and the free thread-local-storage indices it had.
add_executable(load_unload lifetime/load_unload.c)
target_link_libraries(load_unload PRIVATE psapi)
add_dependencies(load_unload COM-KESTRAVO)
set_target_properties(load_unload PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
kestravo_wine_test(windows_load_unload load_unload COM-KESTRAVO.dll 2000)
# Alone: its 2,000 loads and unloads keep the Wine server busy for five minutes, and once a program
# compared beside it ended with status 137 after its whole output.
set_tests_properties(windows_load_unload PROPERTIES TIMEOUT 1200 COST 10000 WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  RUN_SERIAL TRUE)

# A C host built against the import library, as a Windows user builds one.
add_executable(kestravo_example ${PROJECT_SOURCE_DIR}/examples/c/kestravo_example.c)
target_link_libraries(kestravo_example PRIVATE COM-KESTRAVO)
set_target_properties(kestravo_example PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
kestravo_wine_test(windows_c_example kestravo_example 1)
set_property(TEST windows_c_example APPEND PROPERTY ENVIRONMENT KESTRAVO_COM1=sim)
set_tests_properties(windows_c_example PROPERTIES PASS_REGULAR_EXPRESSION "Firmware")

# The program in a real terminal (tmux) on Wine's console: keys, a display redrawn in place, Esc and
# Ctrl-C.
kestravo_wine_test(windows_console_in_tmux ${CMAKE_CURRENT_SOURCE_DIR}/wine/console_in_tmux.sh ${wine_run}
  $<TARGET_FILE:COM-KESTRAVO-Control>)
# The lifetime test runs alone: it ends Wine processes in the middle of calls by the hundred, and
# beside it other Wine processes have failed at their start with Wine's own status 1 (once the
# program in the terminal ended at its start without a word; once the registry call that unmaps the
# serial test's COM port failed after the program's whole output).
set_tests_properties(windows_dll_lifetime PROPERTIES RUN_SERIAL TRUE)

# The Windows panel serves the same JSON as the Linux one for the same steady device (skipped
# without a Linux build beside this one).
if(TARGET COM-KESTRAVO-Panel)
  find_program(KESTRAVO_BUILD_PYTHON NAMES python3 NO_CMAKE_FIND_ROOT_PATH)
  kestravo_wine_test(windows_panel_like_linux ${KESTRAVO_BUILD_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/wine/panel_like_linux.py
    ${wine_run} $<TARGET_FILE:COM-KESTRAVO-Panel> ${KESTRAVO_LINUX_BUILD}/COM-KESTRAVO-Panel)
  set_tests_properties(windows_panel_like_linux PROPERTIES SKIP_RETURN_CODE 77)
endif()

# The guard itself: a prefix that maps a COM port the run did not make stops it before Wine starts.
add_test(NAME windows_wine_guard COMMAND sh -c
  "p=$(mktemp -d) && mkdir -p $p/dosdevices && ln -s /dev/null $p/dosdevices/com9 && KESTRAVO_WINEPREFIX=$p '${wine_run}' never-started.exe; s=$?; rm -rf $p; test $s = 98")

# --list on Windows names the system's COM ports; inside the namespace there are none.
kestravo_wine_test(windows_list_ports COM-KESTRAVO-Control --list)
set_tests_properties(windows_list_ports PROPERTIES PASS_REGULAR_EXPRESSION "^No serial ports found")
