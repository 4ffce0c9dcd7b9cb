# Builds the library's man pages from the header with doxygen: one page per family of functions
# (COM-KESTRAVO-link.3 ...), compressed, and an install script that links each function's name to
# its family's page (COM_KESTRAVO_Open.3.gz -> COM-KESTRAVO-link.3.gz), so that `man
# COM_KESTRAVO_Open` finds it.
# Usage: cmake -DDOXYGEN=... -DGZIP=... -DSOURCE=<source dir> -DOUT=<dir> -P api_man.cmake
file(REMOVE_RECURSE ${OUT}/doxygen ${OUT}/pages)
file(MAKE_DIRECTORY ${OUT}/doxygen ${OUT}/pages)
file(READ ${SOURCE}/docs/Doxyfile config)
string(APPEND config "\nOUTPUT_DIRECTORY = ${OUT}/doxygen\nGENERATE_HTML = NO\nINPUT = ${SOURCE}/include/COM-KESTRAVO.h\n"
       "USE_MDFILE_AS_MAINPAGE =\nFULL_PATH_NAMES = NO\nWARN_AS_ERROR = NO\n")
file(WRITE ${OUT}/Doxyfile "${config}")
execute_process(COMMAND ${DOXYGEN} ${OUT}/Doxyfile WORKING_DIRECTORY ${SOURCE} RESULT_VARIABLE result
                OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "doxygen failed: ${errors}")
endif()
file(GLOB pages RELATIVE ${OUT}/doxygen/man/man3 ${OUT}/doxygen/man/man3/*.3)
set(script "# Written by api_man.cmake: links from the functions' names to their families' pages.\n")
string(APPEND script "set(dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${MANDIR}/man3\")\n")
list(SORT pages)
foreach(page IN LISTS pages)
  file(READ ${OUT}/doxygen/man/man3/${page} text)
  if(page MATCHES "^COM-KESTRAVO-[a-z]+\\.3$")
    execute_process(COMMAND ${GZIP} -9nc ${OUT}/doxygen/man/man3/${page} OUTPUT_FILE ${OUT}/pages/${page}.gz)
  elseif(page MATCHES "^COM_KESTRAVO_[A-Za-z]+\\.3$" AND text MATCHES "^\\.so man3/(COM-KESTRAVO-[a-z]+\\.3)")
    set(target ${CMAKE_MATCH_1})
    string(APPEND script "file(CREATE_LINK ${target}.gz \"\${dir}/${page}.gz\" SYMBOLIC)\n"
           "list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${dir}/${page}.gz\")\n")
  endif()
endforeach()
file(WRITE ${OUT}/install_links.cmake "${script}")
