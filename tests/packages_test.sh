#!/usr/bin/env bash
# Builds the four Debian packages, checks them with lintian (no error, no warning that is not
# overridden with its reason), installs them into this machine, uses what they installed (the
# program against the simulated device, a C program through pkg-config, the Python package from
# python3-kestravo and installed with pip, the man pages, the completion), removes them and checks
# that nothing is left. Needs root; CI runs it.
# Usage: packages_test.sh <source dir>
set -euo pipefail
source=$(realpath "$1")
work=$(mktemp -d)
packages=(libcom-kestravo1 libcom-kestravo-dev com-kestravo-tools python3-kestravo)
cleanup() { dpkg -P "${packages[@]}" >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
[ "$(id -u)" = 0 ] || { echo "packages test: needs root, skipped"; exit 0; }
for p in "${packages[@]}"; do
  ! dpkg -s "$p" >/dev/null 2>&1 || fail "$p is installed already"
done

cmake -S "$source" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DKESTRAVO_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$work/build" -j2 >/dev/null
(cd "$work/build" && cpack -G DEB >/dev/null)
debs=("$work"/build/*.deb)
[ ${#debs[@]} = 4 ] || fail "expected four packages: ${debs[*]}"
# Each package its own synopsis (at most 80 characters, as apt shows it), the long text wrapped.
synopses=$(for deb in "${debs[@]}"; do dpkg-deb -f "$deb" Description | head -1; done)
echo "$synopses"
[ "$(echo "$synopses" | sort -u | wc -l)" = 4 ] || fail "the packages share a synopsis"
! echo "$synopses" | grep -q '^.\{81\}' || fail "a synopsis is longer than 80 characters"
for deb in "${debs[@]}"; do
  dpkg-deb -f "$deb" Description | tail -n +2 | grep -q '^ [^ ]' || fail "$(basename "$deb"): no wrapped long description"
  ! dpkg-deb -f "$deb" Description | tail -n +2 | grep -q '^  ' || fail "$(basename "$deb"): verbatim lines"
done
# Debian's policy, as lintian checks it (where it is installed: CI installs it).
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning --tag-display-limit 0 "${debs[@]}" 2>&1 | grep -v "running with root privileges" ||
    true
  lintian --fail-on error,warning "${debs[@]}" >/dev/null 2>&1 || fail "lintian reports errors or warnings"
  # No RUNPATH in a system's programs.
  dpkg-deb -x "$work"/build/com-kestravo-tools_*.deb "$work/tools"
  for program in "$work"/tools/usr/bin/COM-KESTRAVO-*; do
    file "$program" | grep -q ELF || continue
    ! readelf -d "$program" | grep -q 'RPATH\|RUNPATH' || fail "$(basename "$program") carries a RUNPATH"
  done
else
  echo "lintian is not installed: the packages' policy is not checked"
fi
dpkg -i "${debs[@]}" >/dev/null

# What the packages installed works.
out=$(cd "$work" && KESTRAVO_COM1=sim COM-KESTRAVO-Control 1 -v -T)
[ "$out" = "$(printf 'COM1 opened for the communication port 0\nHardware type: 4B53h, hardware version: 1.02\nProgram finished')" ] ||
  fail "installed program: $out"
[ "$(COM-KESTRAVO-Control --version | cut -d' ' -f2 | tr -d ,)" = "$(pkg-config --modversion COM-KESTRAVO)" ] || fail "versions differ"
if [ -e /usr/bin/COM-KESTRAVO-Panel ]; then
  COM-KESTRAVO-Panel --help 2>&1 | grep -q "^Usage: COM-KESTRAVO-Panel" || fail "installed panel"
  [ -e /usr/share/man/man1/COM-KESTRAVO-Panel.1.gz ] || fail "the panel's man page"
fi
cc -o "$work/example" "$source/examples/c/kestravo_example.c" $(pkg-config --cflags --libs COM-KESTRAVO)
KESTRAVO_COM1=sim "$work/example" 1 | grep "Firmware" >/dev/null || fail "a program built against the packages"
[ -f /usr/share/man/man3/COM-KESTRAVO.3.gz ] && [ -f /usr/share/man/man1/COM-KESTRAVO-Control.1.gz ] || fail "man pages"
man -w COM-KESTRAVO-Control >/dev/null 2>&1 || ! command -v man >/dev/null || fail "man finds no page"
# Built where doxygen is (CI installs it): a page per family, each function's name leading to its own.
if command -v doxygen >/dev/null; then
  [ -f /usr/share/man/man3/COM-KESTRAVO-link.3.gz ] && [ -L /usr/share/man/man3/COM_KESTRAVO_Open.3.gz ] ||
    fail "the library's man pages per family"
  ! command -v man >/dev/null || [ "$(man -w COM_KESTRAVO_Open)" = /usr/share/man/man3/COM-KESTRAVO-link.3.gz ] ||
    fail "man COM_KESTRAVO_Open finds $(man -w COM_KESTRAVO_Open)"
fi
# The Python package of python3-kestravo, with the system's Python, over the installed library.
(cd "$work" && env -u KESTRAVO_LIBRARY /usr/bin/python3 -m kestravo info sim) | grep "Hardware type: 4B53h" >/dev/null ||
  fail "python3-kestravo"
[ -f /usr/share/bash-completion/completions/COM-KESTRAVO-Control ] || fail "completion"
[ ! -e /usr/bin/COM-KESTRAVO-Panel ] || zcat /usr/share/doc/com-kestravo-tools/panel.md.gz | grep -q "/api/" ||
  fail "the panel's interface document, which its man page names"
# The Python package, installed with pip, over the installed library and programs.
env -u KESTRAVO_LIBRARY -u KESTRAVO_CONTROL -u KESTRAVO_SIM bash "$source/tests/python_test.sh" /usr/bin/python3 "$source" ||
  fail "the Python package over the installed library"
files=$(dpkg -L "${packages[@]}" | sort -u)

# Removed (purged), nothing of them is left.
dpkg -P "${packages[@]}" >/dev/null
for p in "${packages[@]}"; do
  ! dpkg -s "$p" 2>/dev/null | grep '^Status: install' >/dev/null || fail "$p still installed"
done
while read -r f; do
  [ -d "$f" ] || [ ! -e "$f" ] || fail "left behind: $f"
done <<< "$files"
echo "packages: built, installed, used and removed"
