#!/usr/bin/env bash
# The DLL exports exactly the Linux library's functions, undecorated, and the DLL and the programs
# import only system DLLs (and the programs COM-KESTRAVO.dll).
# Usage: exports_test.sh OBJDUMP DLL LINUX_LIBRARY [PROGRAM...]
set -uo pipefail
objdump=$1 dll=$2 linux=$3
shift 3
failed=0
exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\]/ && NR > 1 {print $NF}' | sort)
if [ -f "$linux" ]; then
  expected=$(nm -D --defined-only "$linux" | awk '$2 == "T" {sub(/@.*/, "", $3); print $3}' | sort)
  if [ "$exports" != "$expected" ]; then
    echo "the exports differ from the Linux library's:"
    diff <(echo "$expected") <(echo "$exports")
    failed=1
  fi
else
  echo "no Linux library at '$linux': the exports are checked by name only"
fi
if [ "$(echo "$exports" | grep -c '^COM_KESTRAVO_[A-Za-z]*$')" != "$(echo "$exports" | wc -l)" ]; then
  echo "exports with other names or decorations:"
  echo "$exports" | grep -v '^COM_KESTRAVO_[A-Za-z]*$'
  failed=1
fi
echo "$(basename "$dll"): $(echo "$exports" | wc -l) exports"
# The .def beside the DLL names it, as lib, dlltool and llvm-dlltool want.
def=${dll%.dll}.def
if [ -f "$def" ] && [ "$(head -1 "$def" | tr -d '\r')" != "LIBRARY $(basename "$dll")" ]; then
  echo "$(basename "$def") does not begin with 'LIBRARY $(basename "$dll")'"
  failed=1
fi
system='^(kernel32|msvcrt|ws2_32|user32|advapi32|ntdll|ucrtbase|api-ms-win-.*)\.dll$'
for f in "$dll" "$@"; do
  imports=$("$objdump" -p "$f" | awk '/DLL Name:/ {print $3}')
  bad=$(echo "$imports" | tr 'A-Z' 'a-z' | grep -Ev "$system" | grep -v '^com-kestravo\.dll$')
  if [ -n "$bad" ]; then
    echo "$(basename "$f") imports DLLs that are not the system's: $bad"
    failed=1
  fi
  echo "$(basename "$f") imports: $(echo $imports)"
done
exit $failed
