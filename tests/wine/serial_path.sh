#!/usr/bin/env bash
# The Win32 serial path end to end: the Linux simulator on a pseudo-terminal, mapped as COM5 inside
# Wine's namespace, opened by the Windows program with no KESTRAVO_COM5 (the DLL's \\.\COM5 through
# the Win32 serial API); then the same over RFC 2217 to the Linux simulator's server. Each run
# (identity, a purge, a rate change, the memory backed up and restored in blocks of 4092 bytes)
# must print what the Linux program prints against a simulator of its own.
# Usage: serial_path.sh WINE_RUN WINDOWS_PROGRAM LINUX_PROGRAM LINUX_SIM
set -uo pipefail
wine_run=$1 windows=$2 linux=$3 sim=$4
[ -x "$linux" ] && [ -x "$sim" ] || { echo "no Linux build: skipped"; exit 77; }
work=$(mktemp -d)
server=
cleanup() { [ -z "$server" ] || kill "$server" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
unset KESTRAVO_COM5 KESTRAVO_COM6
export KESTRAVO_SIM_FAULTS=steady=1
args=(-v -V -Z -B -\$115200 -v -y memory.txt -Y memory.txt -B -d -T)

# Starts a simulator (its arguments), sets $server and $address.
start_sim() {
  "$sim" "$@" >"$work/sim.out" 2>"$work/sim.err" &
  server=$!
  for _ in $(seq 100); do
    address=$(head -1 "$work/sim.out")
    [ -n "$address" ] && return 0
    sleep 0.05
  done
  echo "the simulator did not start: $(cat "$work/sim.err")"
  exit 1
}
stop_sim() { kill "$server"; wait "$server" 2>/dev/null; server=; }

# run SIDE KIND: the program of SIDE against a fresh simulator of KIND (pty or rfc2217).
run() {
  local side=$1 kind=$2 dir=$work/$1-$2
  mkdir -p "$dir"
  if [ "$kind" = pty ]; then start_sim; else start_sim --rfc2217 0; address=rfc2217://$address; fi
  if [ "$side" = linux ]; then
    (cd "$dir" && KESTRAVO_COM5=$address "$linux" --strict --yes 5 "${args[@]}" >"$dir.out" 2>&1)
  elif [ "$kind" = pty ]; then
    (cd "$dir" && KESTRAVO_WINE_COMS="com5=$address" "$wine_run" "$windows" --strict --yes 5 "${args[@]}" >"$dir.out" 2>&1)
  else
    (cd "$dir" && KESTRAVO_COM5=$address "$wine_run" "$windows" --strict --yes 5 "${args[@]}" >"$dir.out" 2>&1)
  fi
  printf "\nstatus %d\n" $? >>"$dir.out"
  tr -d '\r' <"$dir/memory.txt" >>"$dir.out"
  tr -d '\r' <"$dir.out" >"$dir.txt"
  stop_sim
}

failed=0
for kind in pty rfc2217; do
  run linux $kind
  run windows $kind
  if diff -u "$work/linux-$kind.txt" "$work/windows-$kind.txt" >"$work/diff"; then
    echo "$kind: the Windows program printed what the Linux one did ($(wc -l <"$work/linux-$kind.txt") lines, $(grep -c . "$work/windows-$kind/memory.txt") lines of memory backup)"
  else
    echo "$kind: DIFFERENT"
    head -40 "$work/diff"
    failed=1
  fi
  grep -q "^status 0$" "$work/windows-$kind.txt" || { echo "$kind: the Windows run failed"; failed=1; }
done
exit $failed
