#!/usr/bin/env bash
# What a short exchange adds over its wire time on Linux and under Wine, in one run: the same
# benchmark (exchange_bench) built for both, against the Linux simulator on a pseudo-terminal (the
# Windows one through the Win32 serial path, the pty mapped as COM5) and over RFC 2217 on localhost.
# Usage: wine_exchange.sh LINUX_BUILD WINDOWS_BUILD      (a Wine prefix is made in WINDOWS_BUILD)
set -uo pipefail
linux=$(realpath "$1") windows=$(realpath "$2")
source=$(cd "$(dirname "$0")/.." && pwd)
wine_run=$source/tests/wine/wine_run.sh
export KESTRAVO_WINEPREFIX=$windows/wineprefix
unset KESTRAVO_SIM_FAULTS
work=$(mktemp -d)
server=
trap '[ -z "$server" ] || kill $server 2>/dev/null; rm -rf "$work"' EXIT
start_sim() {
  "$linux/COM-KESTRAVO-Sim" "$@" >"$work/sim.out" 2>/dev/null &
  server=$!
  for _ in $(seq 100); do address=$(head -1 "$work/sim.out"); [ -n "$address" ] && return; sleep 0.05; done
}
stop_sim() { kill $server; wait $server 2>/dev/null; server=; }
"$wine_run" --wineserver -p
# bench KIND SIDE BAUD COUNT: ms per exchange against a fresh simulator.
bench() {
  if [ $1 = pty ]; then start_sim; else start_sim --rfc2217 0; address=rfc2217://$address; fi
  if [ $2 = linux ]; then
    KESTRAVO_COM5=$address "$linux/bench/exchange_bench" 5 $3 $4
  elif [ $1 = pty ]; then
    KESTRAVO_WINE_COMS="com5=$address" "$wine_run" "$windows/bench/exchange_bench.exe" 5 $3 $4 | tr -d '\r'
  else
    KESTRAVO_COM5=$address "$wine_run" "$windows/bench/exchange_bench.exe" 5 $3 $4 | tr -d '\r'
  fi
  stop_sim
}
unset KESTRAVO_COM5
echo "A short exchange (3 characters out, 11 back): ms per exchange against its characters' time on"
echo "the wire. On a pty only the reply takes wire time (the simulator times what it sends; writes to"
echo "a pty are instant) and a character is 10 bits (no parity); over RFC 2217 all 14 take 11 bits."
for baud in 9600 115200; do
  count=$([ $baud = 9600 ] && echo 50 || echo 200)
  for kind in pty rfc2217; do
    bits=$([ $kind = pty ] && echo 10 || echo 11) chars=$([ $kind = pty ] && echo 11 || echo 14)
    l=$(bench $kind linux $baud $count) w=$(bench $kind windows $baud $count)
    awk -v k=$kind -v b=$baud -v l="$l" -v w="$w" -v bits=$bits -v chars=$chars 'BEGIN {
      wire = chars * bits * 1000 / b
      printf "%-7s %6u baud: wire %6.2f ms; Linux %6.2f ms (+%.2f), Windows under Wine %6.2f ms (+%.2f): Wine/Linux %.2f\n",
             k, b, wire, l, l - wire, w, w - wire, w / l }'
  done
done
"$wine_run" --wineserver -k
