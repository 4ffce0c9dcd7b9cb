#!/usr/bin/env bash
# Installs the build tree into an empty prefix and uses the installed tree as other projects do:
# the installed program on its own RUNPATH, a C program through find_package and one through
# pkg-config, and Python's ctypes, each against a simulated device.
# Usage: install_test.sh <build dir> <source dir>
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAILED: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name 'libCOM-KESTRAVO.so.*.*.*' | head -n 1)")
[ -d "$libdir" ] || fail "no versioned library installed"
(cd "$prefix" && find . \( -type f -o -type l \) | sort) | tee "$work/files"
for f in bin/COM-KESTRAVO-Control bin/COM-KESTRAVO-Plot bin/COM-KESTRAVO-Sim include/COM-KESTRAVO.h \
         share/man/man1/COM-KESTRAVO-Control.1.gz share/man/man1/COM-KESTRAVO-Sim.1.gz share/man/man1/COM-KESTRAVO-Plot.1.gz \
         share/man/man3/COM-KESTRAVO.3.gz; do
  grep -qx "./$f" "$work/files" || fail "$f not installed"
done
for f in libCOM-KESTRAVO.so libCOM-KESTRAVO.so.1 pkgconfig/COM-KESTRAVO.pc cmake/COM-KESTRAVO/COM-KESTRAVOConfig.cmake \
         cmake/COM-KESTRAVO/COM-KESTRAVOConfigVersion.cmake cmake/COM-KESTRAVO/COM-KESTRAVO-targets.cmake; do
  [ -e "$libdir/$f" ] || fail "$libdir/$f not installed"
done
[ "$(readlink "$libdir/libCOM-KESTRAVO.so")" = libCOM-KESTRAVO.so.1 ] || fail "development link"
# Where doxygen made them, a man page per family, and each function's name leads to its family's.
if [ -e "$prefix/share/man/man3/COM-KESTRAVO-link.3.gz" ]; then
  for name in $(sed -n 's/^COM_KESTRAVO_API .*COM_KESTRAVO_\([A-Za-z]*\)(.*/\1/p' "$source/include/COM-KESTRAVO.h"); do
    target=$(readlink "$prefix/share/man/man3/COM_KESTRAVO_$name.3.gz") || fail "no man page for COM_KESTRAVO_$name"
    [ -f "$prefix/share/man/man3/$target" ] || fail "COM_KESTRAVO_$name.3.gz leads to $target, which is missing"
  done
  zcat "$prefix/share/man/man3/COM-KESTRAVO-link.3.gz" | grep -q "COM_KESTRAVO_OpenPort" || fail "the link family's page"
fi

# The soname, and every exported function on the version node.
readelf -d "$libdir/libCOM-KESTRAVO.so.1" | grep 'Library soname: \[libCOM-KESTRAVO.so.1\]' >/dev/null || fail soname
exported=$(objdump -T "$libdir/libCOM-KESTRAVO.so.1" | grep -c ' COM_KESTRAVO_[A-Z]' || true)
versioned=$(objdump -T "$libdir/libCOM-KESTRAVO.so.1" | grep -c 'COM_KESTRAVO_1\(\.[12]\)\? *COM_KESTRAVO_[A-Z]' || true)
[ "$exported" = 82 ] && [ "$exported" = "$versioned" ] || fail "symbol versions: $versioned of $exported"

# The installed program finds the installed library by itself.
readelf -d "$prefix/bin/COM-KESTRAVO-Control" | grep 'RUNPATH.*\$ORIGIN/../' >/dev/null || fail "program RUNPATH"
loaded=$(env -u LD_LIBRARY_PATH ldd "$prefix/bin/COM-KESTRAVO-Control" | awk '/libCOM-KESTRAVO/ {print $3}')
[ "$(realpath "$loaded")" = "$(realpath "$libdir/libCOM-KESTRAVO.so.1")" ] ||
  fail "the installed program loads $loaded, not the installed library"
out=$(cd "$work" && KESTRAVO_COM1=sim "$prefix/bin/COM-KESTRAVO-Control" 1 -v -T)
[ "$out" = "$(printf 'COM1 opened for the communication port 0\nHardware type: 4B53h, hardware version: 1.02\nProgram finished')" ] ||
  fail "installed program: $out"
# The program's release and the loaded library's, both the header's; and the man pages name it.
release=$(sed -n 's/^#define COM_KESTRAVO_VERSION_STRING "\([^"]*\)".*/\1/p' "$source/include/COM-KESTRAVO.h")
"$prefix/bin/COM-KESTRAVO-Control" --version | grep -x "COM-KESTRAVO-Control $release, built .*, library $release" >/dev/null ||
  fail "--version"
for page in "$source"/docs/*.[13]; do
  head -1 "$page" | grep -q "\"COM-KESTRAVO $release\"" || fail "$(basename "$page") does not name release $release"
done

expected_c=$'Library 1.2.0, protocol version 0100\nFirmware 1-03: KESTRAVO PG4-HV pulse generator (simulated)\nPulser 2 delay: 1000'

# A C program through find_package.
cmake -S "$source/examples/c" -B "$work/find_package" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/find_package" >/dev/null
out=$(KESTRAVO_COM1=sim "$work/find_package/kestravo_example" 1)
[ "$out" = "$expected_c" ] || fail "find_package example: $out"

# A C program through pkg-config.
export PKG_CONFIG_PATH=$libdir/pkgconfig
[ "$(pkg-config --modversion COM-KESTRAVO)" = 1.2.0 ] || fail "pkg-config version"
cc -o "$work/pkg_config_example" "$source/examples/c/kestravo_example.c" $(pkg-config --cflags --libs COM-KESTRAVO) \
  -Wl,-rpath,"$(pkg-config --variable=libdir COM-KESTRAVO)"
out=$(KESTRAVO_COM1=sim "$work/pkg_config_example" 1)
[ "$out" = "$expected_c" ] || fail "pkg-config example: $out"

# Python ctypes.
out=$(KESTRAVO_COM1=sim python3 "$source/examples/python/kestravo_ctypes.py" "$libdir/libCOM-KESTRAVO.so.1" 1)
[ "$out" = $'Protocol version 0100\nFirmware 1-03: KESTRAVO PG4-HV pulse generator (simulated)\nOscillator period: 98' ] ||
  fail "ctypes example: $out"
# The tools explain themselves.
"$prefix/bin/COM-KESTRAVO-Plot" --help | grep "^Usage: COM-KESTRAVO-Plot LOGFILE" >/dev/null || fail "plot --help"
"$prefix/bin/COM-KESTRAVO-Sim" --help | grep "^Usage: COM-KESTRAVO-Sim" >/dev/null || fail "sim --help"

# Bash completes the program's long options and port forms.
completion=$prefix/share/bash-completion/completions/COM-KESTRAVO-Control
[ -f "$completion" ] || fail "no bash completion installed"
words=$(bash -c "source '$completion'; COMP_WORDS=('$prefix/bin/COM-KESTRAVO-Control' '--st'); COMP_CWORD=1; \
  _com_kestravo_control; echo \"\${COMPREPLY[*]}\"")
[ "$words" = "--strict" ] || fail "completion of --st: $words"
words=$(bash -c "source '$completion'; COMP_WORDS=('$prefix/bin/COM-KESTRAVO-Control' 'rfc'); COMP_CWORD=1; \
  _com_kestravo_control; echo \"\${COMPREPLY[*]}\"")
[ "$words" = "rfc2217://" ] || fail "completion of rfc: $words"
# Among the switches it offers the options that may stand there too.
words=$(bash -c "source '$completion'; COMP_WORDS=('$prefix/bin/COM-KESTRAVO-Control' 'sim' '--tr'); COMP_CWORD=2; \
  _com_kestravo_control; echo \"\${COMPREPLY[*]}\"")
[ "$words" = "--trace" ] || fail "completion of --tr after the port: $words"
# It offers the ports the program lists, less the kernel's console and ports the user may not open.
stub=$(mktemp)
printf '#!/bin/sh\nprintf "/dev/ttyS0 (the kernel'"'"'s console)\\n/dev/ttyUSB0\\n/dev/ttyACM0 (not for this user: it may need to be in the '"'"'dialout'"'"' group)\\n"\n' >"$stub"
chmod +x "$stub"
words=$(bash -c "source '$completion'; COMP_WORDS=('$stub' '/dev/tty'); COMP_CWORD=1; \
  _com_kestravo_control; echo \"\${COMPREPLY[*]}\"")
rm -f "$stub"
[ "$words" = "/dev/ttyUSB0" ] || fail "completion of /dev/tty: $words"

# Uninstalling takes everything away again.
cmake --build "$build" --target uninstall >/dev/null
left=$(find "$prefix" \( -type f -o -type l \) | head -n 5)
[ -z "$left" ] || fail "left after uninstall: $left"
echo "installed tree works"
