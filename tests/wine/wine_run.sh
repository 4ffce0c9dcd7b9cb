#!/usr/bin/env bash
# Runs a Windows program under Wine, safely: inside a private mount namespace whose /dev holds no
# serial devices (Wine maps a COM port to every /dev/ttyS*, ttyUSB* and ttyACM* it finds, and on
# these machines /dev/ttyS0 is the system console), with its own prefix, and only after checking
# that the prefix maps no COM port the caller did not make.
#
# Usage: wine_run.sh PROGRAM [ARGUMENTS...]
#        wine_run.sh --wineserver -p|-k   keep Wine's server running for a run of tests / end it
#        wine_run.sh --fresh --wineserver -p   the same with a new prefix (the start of a test run)
# Environment: KESTRAVO_WINEPREFIX  the prefix (made on first use; required)
#              KESTRAVO_WINE_COMS   COM ports the caller maps itself, e.g. "com5=/dev/pts/3" (the link
#                                   is made inside the namespace, where that pty is reachable)
# Every Windows test runs through this script; nothing runs Wine bare.
set -euo pipefail

fresh=
if [ "${1:-}" = --fresh ]; then
  fresh=1
  shift
fi
if [ -z "${KESTRAVO_IN_WINE_NAMESPACE:-}" ]; then
  : "${KESTRAVO_WINEPREFIX:?KESTRAVO_WINEPREFIX must name the Wine prefix}"
  export KESTRAVO_IN_WINE_NAMESPACE=1
  exec unshare --mount --propagation private "$BASH" "$0" ${fresh:+--fresh} "$@"
fi

# Inside the namespace: a /dev of our own with the few nodes Wine and the tests need.
old=$(mktemp -d)
mount --rbind /dev "$old"
mount -t tmpfs -o mode=755,size=64k kestravo-dev /dev
for node in null zero full random urandom tty; do
  touch "/dev/$node"
  mount --bind "$old/$node" "/dev/$node"
done
for dir in pts shm; do
  mkdir "/dev/$dir"
  mount --bind "$old/$dir" "/dev/$dir"
done
ln -s pts/ptmx /dev/ptmx
ln -s /proc/self/fd /dev/fd
umount -R "$old" && rmdir "$old"
if ls /dev | grep -Eq '^tty(S|USB|ACM)'; then
  echo "wine_run: a serial device is visible inside the namespace" >&2
  exit 97
fi

export WINEPREFIX=$KESTRAVO_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
# A 32-bit program (PE machine 014c) runs on the 32-bit loader (Debian's wine32:i386), which needs a
# kernel that runs 32-bit programs. Without both, Wine would "run" the program as nothing and exit
# 0: that is refused here, with status 96.
if [ $# -gt 0 ] && [ -f "$1" ]; then
  pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  machine=$( [ -n "$pe" ] && od -An -tx2 -j$((pe + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
  if [ "$machine" = 014c ]; then
    wine=/usr/lib/wine/wine
    if [ ! -x "$wine" ]; then
      echo "wine_run: $1 is a 32-bit program and wine32 is not installed" >&2
      exit 96
    fi
    if ! "$wine" --version >/dev/null 2>&1; then
      echo "wine_run: $1 is a 32-bit program and this kernel does not run 32-bit programs" >&2
      exit 96
    fi
  fi
fi
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=$(command -v wineserver)

# No COM port in the prefix but the caller's own: checked before any program runs.
check_ports() {
  local allowed=" " mapping entry name
  for mapping in ${KESTRAVO_WINE_COMS:-}; do allowed+="${mapping%%=*} "; done
  for entry in "$WINEPREFIX"/dosdevices/com*; do
    [ -e "$entry" ] || [ -L "$entry" ] || continue
    name=$(basename "$entry")
    if [[ "$allowed" != *" $name "* ]]; then
      echo "wine_run: the prefix maps $name -> $(readlink "$entry"), which this run did not make" >&2
      exit 98
    fi
  done
}

if [ "${1:-}" = --wineserver ]; then
  shift
  if [ -n "$fresh" ]; then
    "$server" -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
  mkdir -p "$WINEPREFIX"
  # Neither the server's daemon nor Wine's service processes (started here, once, by wineboot) may
  # hold the caller's output open: a test's output would never end.
  "$server" "$@" </dev/null >/dev/null 2>&1 || [ "${1:-}" = -k ]
  if [ "${1:-}" = -p ]; then
    "$wine" wineboot --init </dev/null >/dev/null 2>&1
    check_ports
  fi
  exit 0
fi
if [ ! -d "$WINEPREFIX/dosdevices" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1 || true
fi
check_ports
# A registry call is a Wine process of its own, and a Wine process can fail at its start (Wine's own
# status 1, not a word) while the Wine server is busy: each is tried three times.
reg() {
  local attempt
  for attempt in 1 2 3; do
    "$wine" reg "$@" >/dev/null 2>&1 && return 0
  done
  echo "wine_run: reg $* failed three times" >&2
  return 1
}
# Wine's mount manager makes the COM links from HKLM\Software\Wine\Ports when it starts (and drops
# others); the link is made here too, for a mount manager that is running already.
for mapping in ${KESTRAVO_WINE_COMS:-}; do
  reg add 'HKLM\Software\Wine\Ports' /v "${mapping%%=*}" /t REG_SZ /d "${mapping#*=}" /f
  ln -sfn "${mapping#*=}" "$WINEPREFIX/dosdevices/${mapping%%=*}"
done
status=0
"$wine" "$@" || status=$?
# The mapping is undone whatever the program's status (the registry value first: the mount manager
# makes the link again from it); a failure here is the run's failure, said.
for mapping in ${KESTRAVO_WINE_COMS:-}; do
  reg delete 'HKLM\Software\Wine\Ports' /v "${mapping%%=*}" /f || [ $status != 0 ] || status=95
  rm -f "$WINEPREFIX/dosdevices/${mapping%%=*}"
done
exit $status
