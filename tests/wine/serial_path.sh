#!/usr/bin/env bash
# The Win32 serial path end to end: the Linux simulator on a pseudo-terminal, mapped as COM5 inside
# Wine's namespace, opened by the Windows program with no KESTRAVO_COM5 (the DLL's \\.\COM5 through
# the Win32 serial API); then the same over RFC 2217 to the Linux simulator's server. Each run
# (identity, a purge, a rate change, the memory backed up and restored in blocks of 4092 bytes)
# must print what the Linux program prints against a simulator of its own.
# A host program of the DLL (serial_client: identity, a purge, a rate change, a 4092-byte block
# both ways) runs the same way and must print what its Linux build prints.
# Usage: serial_path.sh WINE_RUN WINDOWS_PROGRAM LINUX_PROGRAM LINUX_SIM WINDOWS_CLIENT LINUX_CLIENT
set -uo pipefail
wine_run=$1 windows=$2 linux=$3 sim=$4 windows_client=$5 linux_client=$6
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

# run SIDE KIND: the program of SIDE against a fresh simulator of KIND (pty or rfc2217), then the
# host program against another.
run() {
  local side=$1 kind=$2 dir=$work/$1-$2 program client
  program=$([ "$side" = linux ] && echo "$linux" || echo "$windows")
  client=$([ "$side" = linux ] && echo "$linux_client" || echo "$windows_client")
  mkdir -p "$dir"
  : >"$dir.out"
  for what in program client; do
    if [ "$kind" = pty ]; then start_sim; else start_sim --rfc2217 0; address=rfc2217://$address; fi
    local command=("$program" --strict --yes 5 "${args[@]}")
    [ $what = client ] && command=("$client" 5)
    if [ "$side" = linux ]; then
      (cd "$dir" && KESTRAVO_COM5=$address "${command[@]}" >>"$dir.out" 2>&1)
    elif [ "$kind" = pty ]; then
      (cd "$dir" && KESTRAVO_WINE_COMS="com5=$address" "$wine_run" "${command[@]}" >>"$dir.out" 2>&1)
    else
      (cd "$dir" && KESTRAVO_COM5=$address "$wine_run" "${command[@]}" >>"$dir.out" 2>&1)
    fi
    printf "\nstatus %d\n" $? >>"$dir.out"
    stop_sim
  done
  tr -d '\r' <"$dir/memory.txt" >>"$dir.out"
  tr -d '\r' <"$dir.out" >"$dir.txt"
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
  [ "$(grep -c "^status 0$" "$work/windows-$kind.txt")" = 2 ] || { echo "$kind: a Windows run failed"; failed=1; }
  grep -q "block read back equal" "$work/windows-$kind.txt" || { echo "$kind: no block read back"; failed=1; }
done
exit $failed
