# Puts "LIBRARY <dll>" at the head of the .def file the linker wrote, as other toolchains' import
# library tools (lib, dlltool, llvm-dlltool) want it. Usage: cmake -DDEF=file -DDLL=name -P this.
file(READ "${DEF}" text)
if(NOT text MATCHES "^LIBRARY ")
  file(WRITE "${DEF}" "LIBRARY ${DLL}\n${text}")
endif()
