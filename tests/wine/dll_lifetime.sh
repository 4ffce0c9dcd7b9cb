#!/usr/bin/env bash
# Runs dll_lifetime.exe both ways and checks that the trace shows the thread's notifications, the
# unload notification, the slot's closing and the trace's closing entry.
# Usage: dll_lifetime.sh WINE_RUN PROGRAM
set -uo pipefail
wine_run=$1 program=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for mode in unload exit; do
  (cd "$work" && "$wine_run" "$program" $mode "$mode.txt")
  status=$?
  trace=$(tr -d '\r' <"$work/$mode.txt" 2>/dev/null)
  if [ $status != 0 ] || [[ "$trace" != *"Exiting the DLL, fdwReason=0"* ]] ||
     [[ "$trace" != *"Initializing the DLL, fdwReason=2"* ]] || [[ "$trace" != *"Exiting the DLL, fdwReason=3"* ]] ||
     [[ "$trace" != *"COM_KESTRAVO_Close: PortNumber=2"* ]] ||
     [[ "$trace" != *"File closed by COM_KESTRAVO_CloseDebugFile" ]]; then
    echo "$mode: status $status, trace:"
    echo "$trace"
    failed=1
  else
    echo "$mode: the thread's notifications traced, the slot and the trace closed by the unload notification"
  fi
done
exit $failed
