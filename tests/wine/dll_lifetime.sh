#!/usr/bin/env bash
# Loads, uses and unloads the DLL the ways a host does, ROUNDS times each (default 1): FreeLibrary
# with a slot open, exit with a slot open, and exit while another thread is inside a call. The first
# two must trace the thread's notifications, the unload notification, the slot's closing and the
# trace's closing entry; the third must end within its bound (an exit never waits for a slot whose
# call the system has cut off). No run may fault.
# Usage: dll_lifetime.sh WINE_RUN PROGRAM [ROUNDS]
set -uo pipefail
wine_run=$1 program=$2 rounds=${3:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for mode in unload exit during; do
  bad=0
  for ((round = 1; round <= rounds; ++round)); do
    rm -f "$work/$mode.txt"
    # An exit that hangs is cut off well before the opening's own 8.5 s would end it. A round whose
    # program never started (Wine's own status 1, not a word, not even the trace file the program
    # makes first) is run once more: it tested nothing of the DLL. Once in a long CI run Wine
    # failed so, among hundreds of processes it had killed.
    for attempt in 1 2; do
      (cd "$work" && timeout -k 2 6 "$wine_run" "$program" $mode "$mode.txt" >"$work/out.txt" 2>&1)
      status=$?
      [ $status = 1 ] && [ ! -s "$work/out.txt" ] && [ ! -e "$work/$mode.txt" ] && [ $attempt = 1 ] || break
      echo "$mode, round $round: the program did not start (status 1); once more"
    done
    trace=$(tr -d '\r' <"$work/$mode.txt" 2>/dev/null)
    if [ $status != 0 ] || grep -q "Unhandled\|page fault" "$work/out.txt"; then
      echo "$mode, round $round: status $status"
      cat "$work/out.txt"
      bad=1
    elif [ $mode != during ] && { [[ "$trace" != *"Exiting the DLL, fdwReason=0"* ]] ||
       [[ "$trace" != *"Initializing the DLL, fdwReason=2"* ]] || [[ "$trace" != *"Exiting the DLL, fdwReason=3"* ]] ||
       [[ "$trace" != *"COM_KESTRAVO_Close: PortNumber=2"* ]] ||
       [[ "$trace" != *"File closed by COM_KESTRAVO_CloseDebugFile" ]]; }; then
      echo "$mode, round $round: trace:"
      echo "$trace"
      bad=1
    fi
    [ $bad = 0 ] || break
  done
  if [ $bad = 0 ]; then
    echo "$mode: $rounds round(s) without a fault"
  else
    failed=1
  fi
done
exit $failed
