#!/usr/bin/env bash
# The com-kestravo-tango package: built with the library's, checked with lintian, installed, its
# server run from the installed files with the example file database on the simulated device and
# asked by a Tango client, then purged without a trace. Needs root (skipped otherwise).
# Usage: package_test.sh <source dir>
set -euo pipefail
source=$(realpath "$1")
work=$(mktemp -d)
packages=(libcom-kestravo1 com-kestravo-tango)
server=
cleanup() {
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
  dpkg -P "${packages[@]}" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
[ "$(id -u)" = 0 ] || { echo "tango package test: needs root, skipped"; exit 0; }
for p in "${packages[@]}"; do
  ! dpkg -s "$p" >/dev/null 2>&1 || fail "$p is installed already"
done

cmake -S "$source" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DKESTRAVO_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr \
  -DKESTRAVO_DEB_TANGO=ON >/dev/null
cmake --build "$work/build" -j2 >/dev/null
(cd "$work/build" && cpack -G DEB >/dev/null)
deb=$(ls "$work"/build/com-kestravo-tango_*.deb) || fail "no com-kestravo-tango package"
lib=$(ls "$work"/build/libcom-kestravo1_*.deb)
dpkg-deb -c "$deb"
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning --tag-display-limit 0 "$deb" 2>&1 | grep -v "running with root privileges" || true
  lintian --fail-on error,warning "$deb" >/dev/null 2>&1 || fail "lintian reports errors or warnings"
fi
dpkg -i "$lib" "$deb" >/dev/null || fail "the packages do not install"
dpkg -s com-kestravo-tango | grep -q '^Depends:.*libtango' || fail "no dependency on Tango's library"
! readelf -d /usr/bin/COM-KESTRAVO-Tango | grep -q 'RPATH\|RUNPATH' || fail "the server carries a RUNPATH"
[ -f /usr/share/man/man1/COM-KESTRAVO-Tango.1.gz ] || fail "the man page"
zcat /usr/share/doc/com-kestravo-tango/tango.md.gz | grep -q "^| Pulser0Delay |" || fail "the documentation"

# The installed server with the example file database, its simulated device asked by a client.
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cp /usr/share/doc/com-kestravo-tango/examples/kestravo.res "$work/"
(cd "$work" && exec /usr/bin/COM-KESTRAVO-Tango lab -file=kestravo.res -ORBendPoint "giop:tcp:127.0.0.1:$port" \
  >"$work/server.log" 2>&1) &
server=$!
/usr/bin/python3 - "$port" <<'PY' || { cat "$work/server.log"; fail "the installed server"; }
import sys, time, tango
sim = tango.DeviceProxy(f"tango://127.0.0.1:{sys.argv[1]}/lab/kestravo/sim#dbase=no")
end = time.monotonic() + 30
while True:
    try:
        if sim.state() == tango.DevState.ON:
            break
    except tango.DevFailed:
        pass
    if time.monotonic() > end:
        raise SystemExit("the simulated device never came ON")
    time.sleep(0.2)
sim.Pulser0Width = 2e-6
assert abs(sim.Pulser0Width - 2e-6) < 1e-15, sim.Pulser0Width
usb = tango.DeviceProxy(f"tango://127.0.0.1:{sys.argv[1]}/lab/kestravo/1#dbase=no")
time.sleep(1.5)
assert usb.state() == tango.DevState.FAULT and "ttyUSB0" in usb.status(), (usb.state(), usb.status())
print("installed server:", sim.ProductID, "|", usb.status())
PY
kill "$server"
wait "$server" 2>/dev/null || true
server=

files=$(dpkg -L com-kestravo-tango | sort -u)
dpkg -P "${packages[@]}" >/dev/null
while read -r f; do
  [ -d "$f" ] || [ ! -e "$f" ] || fail "left behind: $f"
done <<< "$files"
echo "com-kestravo-tango: built, lintian clean, installed, run and removed"
