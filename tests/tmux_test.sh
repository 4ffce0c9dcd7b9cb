#!/usr/bin/env bash
# The console program in a real terminal: tmux at 80 columns on a private server, driven with
# send-keys and read with capture-pane. Polls the screen instead of sleeping a fixed time.
set -u
program="$(realpath "$1")"
server="kestravo-e2e-$$"
work="$(mktemp -d)"
tm() { tmux -L "$server" -f /dev/null "$@"; }
cleanup() { tm kill-server >/dev/null 2>&1; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- screen ---"; tm capture-pane -p -t e2e; exit 1; }
screen() { tm capture-pane -p -J -t e2e; }  # wrapped lines joined
wait_for() {  # wait_for <fixed text> [seconds]
  local limit=$(( ${2:-10} * 20 ))
  for ((i = 0; i < limit; i++)); do
    screen | grep -qF -- "$1" && return 0
    sleep 0.05
  done
  return 1
}
wait_changes() {  # wait_changes <count>: the screen was drawn anew that many times (values moved)
  local n=0 last now
  last="$(screen)"
  for ((i = 0; i < 200 && n < $1; i++)); do
    sleep 0.05
    now="$(screen)"
    [ "$now" != "$last" ] && n=$((n + 1)) && last="$now"
  done
  [ $n -ge "$1" ]
}
wait_gone() {  # wait_gone <fixed text> [seconds]
  local limit=$(( ${2:-10} * 20 ))
  for ((i = 0; i < limit; i++)); do
    screen | grep -qF -- "$1" || return 0
    sleep 0.05
  done
  return 1
}

tm new-session -d -s e2e -x 80 -y 30 "cd '$work' && env -i PATH=\"\$PATH\" TERM=xterm bash --norc --noprofile" ||
  fail "cannot start tmux"
tm send-keys -t e2e "stty -a | grep -o -- ' -\?icanon' | tr -d ' ' > before.txt; KESTRAVO_COM1=sim '$program' 1" Enter
wait_for "Press '?' for help" || fail "the key loop did not start"

# A continuous display redraws in place.
tm send-keys -t e2e H
wait_for "Device housekeeping:    12V:" || fail "no housekeeping display"
first="$(screen)"
changed=0
for ((i = 0; i < 100; i++)); do
  sleep 0.05
  now="$(screen)"
  [ "$now" != "$first" ] && changed=1 && break
done
[ $changed = 1 ] || fail "the values never changed"
lines=$(screen | grep -c "Device housekeeping:")
[ "$lines" = 1 ] || fail "the display scrolled instead of redrawing ($lines lines)"
# Keys other than Esc change nothing but the values.
tm send-keys -t e2e x y 1 Up
# The display has drawn twice since the keys came: they were read (and dropped) by then.
wait_changes 2 || fail "the display stopped after keys other than Esc"
[ "$(screen | grep -c 'Device housekeeping:')" = 1 ] || fail "a key other than Esc disturbed the display"
screen | grep -qF "Firmware version" && fail "a key ran as a command during the display"
tm send-keys -t e2e Escape
sleep 0.3
tm send-keys -t e2e v
wait_for "Firmware version: 1-03" || fail "the key loop did not come back after Esc"

# The device state display: six lines, redrawn in place.
tm send-keys -t e2e S
wait_for "Sensors cold:   #1:" || fail "no device state display"
sleep 0.3
[ "$(screen | grep -c 'Device status: ')" = 1 ] || fail "device state display not in place"
screen | grep -qF "Device status: 00000000h = 00000000000000000000000000000000b" || fail "device state value"
tm send-keys -t e2e Escape

# A function key at the top level does nothing; Esc ends the program.
tm send-keys -t e2e F5
sleep 0.2
tm send-keys -t e2e Escape
wait_for "Program finished" || fail "the program did not end on Esc"

# The terminal works normally afterwards: canonical mode and echo are back.
tm send-keys -t e2e "" Enter "stty -a | grep -o -- ' -\?icanon' | tr -d ' ' > after.txt; echo done-\$((6*7))" Enter
wait_for "done-42" || fail "the shell does not work after the program"
[ "$(cat "$work/before.txt")" = "icanon" ] || fail "unexpected terminal mode before: $(cat "$work/before.txt")"
[ "$(cat "$work/after.txt")" = "icanon" ] || fail "terminal not restored: $(cat "$work/after.txt")"

# Settings from the keys: the continuous controller display follows a change made while it runs
# (the simulated interlock opens after 2.5 s), in place; then the pulser and switch menus and the
# software-trigger dialogue.
tm send-keys -t e2e "clear; KESTRAVO_COM1=sim KESTRAVO_SIM_FAULTS=interlock=2500 '$program' 1 -q" Enter
sleep 0.3
tm send-keys -t e2e w
wait_for "master enable:    Y" || fail "no continuous controller display"
wait_for "master enable:    N" 10 || fail "the display did not follow the change"
[ "$(screen | grep -c 'Controller state: ')" = 1 ] || fail "controller display not in place"
screen | grep -qF "Controller state: 0007h" || fail "controller state word not redrawn"
tm send-keys -t e2e Escape
sleep 0.3
tm send-keys -t e2e P
wait_for "'C' to set the configuration: " || fail "no pulser menu"
tm send-keys -t e2e D 2
wait_for "Press 0-3 to select the pulser: 2" || fail "pulser selector"
tm send-keys -t e2e 1000 Enter
wait_for "Pulse delay of pulser #2 set to 1000 (1.003000E-05s)" || fail "pulser delay not set"
tm send-keys -t e2e R
wait_for "'M'/'N' to set the trigger/enable mapping: " || fail "no switch menu"
tm send-keys -t e2e M Y
wait_for "Switch trigger mapping set to enabled" || fail "switch menu did not enable the mapping"
tm send-keys -t e2e A
wait_for "software trigger start [1/0]: " || fail "no software-trigger dialogue"
tm send-keys -t e2e 1
wait_for "software trigger stop  [1/0]: " || fail "second question"
tm send-keys -t e2e 1
wait_for "software pulse start   [1/0]: " || fail "third question"
tm send-keys -t e2e 1
wait_for "software pulse stop    [1/0]: " || fail "fourth question"
tm send-keys -t e2e 0
wait_for "  software pulse:   0->1->0" || fail "software trigger not issued"
screen | grep -qF "  software trigger: 0->1->1" || fail "software trigger bits"
tm send-keys -t e2e Escape
sleep 0.3
tm send-keys -t e2e "clear; echo done-\$((8*9))" Enter
wait_for "done-72" || fail "the program did not end on Esc"

# The data log's panel is redrawn in place and Esc ends the log; the backup's progress line is
# overwritten in place (at 115200 baud, so that the 128 blocks take a few seconds). The panel's
# housekeeping line is 88 columns wide.
tm resize-window -t e2e -x 100 -y 30
tm send-keys -t e2e "clear; KESTRAVO_COM1=sim '$program' 1 '-\$115200'" Enter
sleep 0.3
tm send-keys -t e2e x
wait_for "Enter the filename for the log data: " || fail "no data log prompt"
tm send-keys -t e2e log.tsv Enter
wait_for "Fan rpm:#1: " || fail "no data log panel"
first="$(screen | grep 'Uptime: ')"
changed=0
for ((i = 0; i < 60; i++)); do
  sleep 0.05
  [ "$(screen | grep 'Uptime: ')" != "$first" ] && changed=1 && break
done
[ $changed = 1 ] || fail "the data log panel does not change"
[ "$(screen | grep -c 'Uptime: ')" = 1 ] || fail "the data log panel scrolled"
[ "$(screen | grep -c 'Fan rpm:')" = 1 ] || fail "the data log panel scrolled"
tm send-keys -t e2e Escape
wait_for "Data logging finished" || fail "Esc did not end the data log"
[ "$(wc -l < "$work/log.tsv")" -gt 2 ] || fail "no records in the data log"
tm send-keys -t e2e y
wait_for "Enter the data file name: " || fail "no backup prompt"
tm send-keys -t e2e mem.txt Enter
wait_for "Getting memory data, address: " || fail "no backup progress"
wait_for "Memory data saved" 30 || fail "the backup did not end"
wait_gone "Getting memory data" 5 || fail "the backup's progress lines were not overwritten"
[ "$(wc -l < "$work/mem.txt")" = 16384 ] || fail "the backup has not 16384 lines"
tm send-keys -t e2e Escape
sleep 0.3
# Quiet mode drops the progress lines on a terminal too.
tm send-keys -t e2e "clear; KESTRAVO_COM1=sim '$program' 1 -q '-\$115200' -y mem2.txt -T 2>&1 | cat -v > quiet.txt; echo done-\$((6*7))" Enter
wait_for "done-42" 30 || fail "the quiet backup did not end"
grep -q "Getting memory data" "$work/quiet.txt" && fail "quiet mode printed progress lines"
[ "$(wc -l < "$work/mem2.txt")" = 16384 ] || fail "the quiet backup has not 16384 lines"
tm resize-window -t e2e -x 80 -y 30

# Ctrl-C during a continuous display ends the program through its closing sequence.
tm send-keys -t e2e "clear; KESTRAVO_COM1=sim '$program' 1 -C" Enter
wait_for "CPU load:" || fail "no CPU display"
tm send-keys -t e2e C-c
wait_for "Program finished" || fail "Ctrl-C did not end the program in order"
tm send-keys -t e2e "" Enter "echo status-\$?; stty -a | grep -o -- ' -\?icanon' | tr -d ' ' > after2.txt; echo done-\$((7*8))" Enter
wait_for "done-56" || fail "the shell does not work after Ctrl-C"
screen | grep -qF "status-130" || fail "exit status after Ctrl-C is not 130"
[ "$(cat "$work/after2.txt")" = "icanon" ] || fail "terminal not restored after Ctrl-C"
echo "tmux end-to-end: passed"
