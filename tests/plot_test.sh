#!/usr/bin/env bash
# The plot command renders a data log that the console program wrote, as PNG and as SVG.
# Usage: plot_test.sh <COM-KESTRAVO-Control> <COM-KESTRAVO-Plot>
set -euo pipefail
program=$(realpath "$1")
plot=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# A log of four records, ended by Esc once they are in the file; a cut last line is added after it
# (the plot takes only complete records).
(for _ in $(seq 200); do [ "$(cat log.tsv 2>/dev/null | wc -l)" -ge 5 ] && break; sleep 0.05; done
 printf '\033') | KESTRAVO_COM1=sim "$program" 1 -q -x log.tsv -T >/dev/null
[ "$(wc -l < log.tsv)" -gt 2 ] || { echo "no data log written"; exit 1; }
printf '12.34\t25.1' >> log.tsv
"$plot" log.tsv picture.png >/dev/null
[ "$(head -c 4 picture.png | od -An -c | tr -d ' ')" = "211PNG" ] || { echo "no PNG written"; exit 1; }
"$plot" log.tsv picture.svg >/dev/null
grep -q "<svg" picture.svg || { echo "no SVG written"; exit 1; }
# A file that is no data log is refused.
echo "something else" > other.txt
if "$plot" other.txt 2>/dev/null; then echo "a file that is no data log was plotted"; exit 1; fi
echo "plot: passed"
