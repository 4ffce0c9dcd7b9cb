#!/usr/bin/env bash
# The front panel stands on the shared device model and the library only: its binary defines and
# needs nothing of the console program (no symbol of the control namespace), and the page it serves
# is the one made from panel/web.   Usage: panel_link_test.sh <COM-KESTRAVO-Panel> <nm>
set -euo pipefail
panel=$1
nm=${2:-nm}
symbols=$("$nm" -C "$panel")
if grep -q "control::" <<<"$symbols"; then
  grep "control::" <<<"$symbols" | head -20
  echo "panel link: the panel carries symbols of the console program"
  exit 1
fi
grep -q "model::SettingOf\|model::Settings()" <<<"$symbols" || { echo "panel link: no settings catalogue"; exit 1; }
echo "panel link: passed"
