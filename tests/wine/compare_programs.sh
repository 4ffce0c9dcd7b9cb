#!/usr/bin/env bash
# The Windows console program against the Linux one: each case runs both against the simulated
# device (steady readings) in an empty folder of its own; standard output (without the CR of CRLF),
# the exit status and the files written must be equal.
# Usage: compare_programs.sh WINE_RUN WINDOWS_PROGRAM LINUX_PROGRAM
set -uo pipefail
wine_run=$1 windows=$2 linux=$3
[ -x "$linux" ] || { echo "no Linux program at '$linux': skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export KESTRAVO_COM1=sim KESTRAVO_SIM_FAULTS=steady=1

# Input keys (printf format), then the arguments.
cases=(
  "|1 -v -V -d -p -n -o -P -R -D -j -W -I -S -L -F -M -KC -Kn3 -B -T"
  "|1 -O98 -P1D200 -P1W50 -P0B7 -P4C33 -R2T3 -R1R5 -R1F7 -R0D9 -D3Io -D3O12 -jy -P -R -D -j -W -T"
  "|1 -O1234 -Ks cfg.txt -KT -Kl cfg.txt -o -KS7 -KN7 Seven -KW all.txt -Kw7 one.txt -T"
  "|--yes 1 -\$115200 -y memory.txt -Y memory.txt -G -v -T"
  "|--yes 1 -KS3 -KN3 Three -KW all.txt -KR all.txt -Kw3 one.txt -Kr3 one.txt -KC -T"
  "|1 -P5d -R9t -Kl missing.txt -T"
  "|0 -v"
  "|--strict 1 -P5d"
  "|--help"
  "vVnNp\x1b|1"
  "Ob101\rPd1\r\x1b|1"
  "y|1 -KP"
)
failed=0
for c in "${cases[@]}"; do
  keys=${c%%|*} args=${c#*|}
  for side in linux windows; do
    mkdir -p "$work/$side" && rm -rf "$work/$side"/*
    # shellcheck disable=SC2086
    if [ $side = linux ]; then
      (cd "$work/$side" && printf "$keys" | "$linux" $args >"$work/$side.out" 2>/dev/null)
    else
      (cd "$work/$side" && printf "$keys" | "$wine_run" "$windows" $args 2>/dev/null | tr -d '\r' >"$work/$side.out")
    fi
    echo "status $?" >>"$work/$side.out"
    for f in "$work/$side"/*; do
      [ -f "$f" ] || continue
      echo "--- file $(basename "$f")" >>"$work/$side.out"
      # Text files have CRLF line ends on Windows, LF on Linux.
      if [ $side = windows ] && [ "$(grep -c $'\r$' "$f")" != "$(wc -l <"$f")" ]; then
        echo "$(basename "$f"): not every line of the Windows program's file ends in CRLF"
        failed=1
      fi
      tr -d '\r' <"$f" | grep -v '^Mon\|^Tue\|^Wed\|^Thu\|^Fri\|^Sat\|^Sun' >>"$work/$side.out"
    done
  done
  if ! diff -u "$work/linux.out" "$work/windows.out" >"$work/diff"; then
    echo "DIFFERENT: keys '$keys', arguments '$args'"
    head -40 "$work/diff"
    failed=1
  else
    echo "same: keys '$keys', arguments '$args' ($(wc -l <"$work/linux.out") lines)"
  fi
done
exit $failed
