#!/usr/bin/env bash
# Exit status 0 when this kernel runs 32-bit x86 programs (and so 32-bit Wine could), another when it
# does not. The probe is the smallest static i386 program there is: 93 bytes of ELF that exit with
# status 0 (mov eax,1; xor ebx,ebx; int 80h), so that no 32-bit library or compiler is needed.
set -u
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
printf '\177\105\114\106\001\001\001\000\000\000\000\000\000\000\000\000' >"$probe"
printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >>"$probe"
printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000' >>"$probe"
printf '\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010' >>"$probe"
printf '\000\200\004\010\135\000\000\000\135\000\000\000\005\000\000\000' >>"$probe"
printf '\000\020\000\000\270\001\000\000\000\061\333\315\200' >>"$probe"
chmod +x "$probe"
"$probe" 2>/dev/null
