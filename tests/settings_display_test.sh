#!/usr/bin/env bash
# Every settings display and every get/set form of the console program, in debug mode, against a
# fresh simulated device: the output must stay byte for byte what tests/data/settings_display.txt
# holds (the program's texts are what scripts read).
# Usage: settings_display_test.sh <COM-KESTRAVO-Control> <expected output>
set -euo pipefail
program=$(realpath "$1")
expected=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
switches=(-g -O -O4242 -o -P0D1000 -P1W2000 -P0B7 -P1b -P2C43 -P5c -P3d -P2w -P
  -R0T10 -R1E45 -R2R5 -R3F9 -R0D15 -R4M3 -R2N12 -RYM -RNN -R1t -R2e -R2r -R3f -R0d -R4m -R2n -R
  -D0IO -D1IT -D2II -D0O12 -D3o -D1i -D -W7 -w -J -JN -JY -T)
KESTRAVO_COM1=sim "$program" 1 "${switches[@]}" > out.txt
if ! cmp -s out.txt "$expected"; then
  diff "$expected" out.txt | head -40
  echo "settings display: the output differs from $expected"
  exit 1
fi
# A value beyond its field is refused before anything is sent: the parse fails.
for bad in -P4D1 -P6c -R0T64 -R0R16 -R5M1 -D7o; do
  if KESTRAVO_COM1=sim "$program" 1 "$bad" -T > refused.txt; then
    echo "settings display: $bad was not refused"
    exit 1
  fi
  grep -q "Error parsing argument #2: $bad" refused.txt || { echo "settings display: $bad: no parse error"; exit 1; }
done
echo "settings display: passed"
