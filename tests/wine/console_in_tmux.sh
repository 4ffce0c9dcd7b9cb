#!/usr/bin/env bash
# The Windows console program in a real terminal under Wine (the console API on Wine's console):
# single keys, a continuous display redrawn in place, a file name beyond ASCII typed at a prompt, Esc,
# and Ctrl-C ending through the closing.
# Usage: console_in_tmux.sh WINE_RUN PROGRAM
set -u
wine_run=$1 program=$2
server="kestravo-wine-$$"
work=$(mktemp -d)
tm() { tmux -L "$server" -f /dev/null "$@"; }
cleanup() { tm kill-server >/dev/null 2>&1; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- screen ---"; tm capture-pane -p -t w; exit 1; }
screen() { tm capture-pane -p -J -t w; }
wait_for() {  # wait_for <fixed text> [seconds]
  for ((i = 0; i < ${2:-20} * 20; i++)); do
    screen | grep -qF -- "$1" && return 0
    sleep 0.05
  done
  return 1
}

start() {
  tm kill-session -t w >/dev/null 2>&1
  tm new-session -d -s w -x 100 -y 30 \
    "cd '$work' && KESTRAVO_COM1=sim KESTRAVO_WINEPREFIX='$KESTRAVO_WINEPREFIX' '$wine_run' '$program' 1; s=\$?; echo; echo ENDED \$s; sleep 60" ||
    fail "cannot start tmux"
  wait_for "Press '?' for help" || fail "the key loop did not start"
}

start
tm send-keys -t w v
wait_for "Firmware version: 1-03" || fail "the key v was not read"
tm send-keys -t w H
wait_for "Device housekeeping:" || fail "no housekeeping display"
first=$(screen) changed=0
for ((i = 0; i < 100; i++)); do
  sleep 0.05
  [ "$(screen)" != "$first" ] && changed=1 && break
done
[ $changed = 1 ] || fail "the values never changed"
[ "$(screen | grep -c "Device housekeeping:")" = 1 ] || fail "the display scrolled instead of redrawing"
tm send-keys -t w Escape
sleep 0.3  # keys typed ahead of the key loop's return are dropped, as on Linux
tm send-keys -t w Escape
wait_for "ENDED 0" || fail "Esc did not end the display and the program"
screen | grep -q "Program finished" || fail "no closing after Esc"

# A file name typed at a prompt names the file it says, also with a letter beyond ASCII: the
# console reads the code page the file functions use.
start
tm send-keys -t w K
sleep 0.3
tm send-keys -t w s
wait_for "Enter the filename for the configuration data:" || fail "no file name prompt"
tm send-keys -t w -l "x_ä.txt"
tm send-keys -t w Enter
wait_for "saved into data file" || fail "the configuration was not saved"
screen | grep -qF "saved into data file 'x_ä.txt'" || fail "the name printed is not the name typed"
[ -f "$work/x_ä.txt" ] || fail "no file x_ä.txt: $(ls "$work")"
tm send-keys -t w Escape
wait_for "ENDED 0" || fail "Esc did not end the program"

# Ctrl-C ends the program through its closing, with the status of an interrupt.
start
tm send-keys -t w C-c
wait_for "ENDED" || fail "Ctrl-C did not end the program"
screen | grep -q "Program finished" || fail "Ctrl-C skipped the closing"
screen | grep -q "ENDED 130" || fail "the status after Ctrl-C is not 130"
echo "console under Wine: keys, redraw in place, Esc and Ctrl-C as on Linux"
