# Builds the panel's one page from its web files and writes it as a byte array in C++:
#   cmake -DWEB_DIR=<panel/web> -DOUTPUT=<file.cpp> -P embed_page.cmake
# The style sheet and the scripts that index.html links are put inline, so that the page is one
# answer and needs no further request (each would need the access token).
file(READ "${WEB_DIR}/index.html" page)
file(READ "${WEB_DIR}/panel.css" css)
string(REPLACE "<link rel=\"stylesheet\" href=\"panel.css\">" "<style>\n${css}</style>" page "${page}")
foreach(script model.js panel.js)
  file(READ "${WEB_DIR}/${script}" js)
  string(REPLACE "<script src=\"${script}\"></script>" "<script>\n${js}</script>" page "${page}")
endforeach()
if(page MATCHES "<script src=|<link rel=\"stylesheet\"")
  message(FATAL_ERROR "index.html links a file that is not put inline")
endif()
file(WRITE "${OUTPUT}.html" "${page}")
file(READ "${OUTPUT}.html" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.new" "// Made from panel/web by cmake/embed_page.cmake: do not edit.\n#include \"panel/page.h\"\n\nnamespace panel {\n\nconst unsigned char kPageBytes[] = {\n${bytes}};\nconst size_t kPageSize = ${size};\n\n}  // namespace panel\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
