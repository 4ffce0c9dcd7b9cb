#!/usr/bin/env bash
# The programs keep the same conventions: --help prints the usage (the console program's begins with
# its banner, as it always did) on standard output with status 0,
# --version prints "PROGRAM RELEASE, built DATE, library RELEASE" with status 0, both with nothing
# on standard error.
# Usage: conventions_test.sh <header> <program>...
set -uo pipefail
header=$1
shift
release=$(sed -n 's/^#define COM_KESTRAVO_VERSION_STRING "\([^"]*\)".*/\1/p' "$header")
failed=0
fail() { echo "FAILED: $*" >&2; failed=1; }
for program in "$@"; do
  name=$(basename "$program")
  for option in --help --version; do
    out=$("$program" "$option" 2>"$program.err")
    status=$?
    [ $status = 0 ] || fail "$name $option: status $status"
    [ ! -s "$program.err" ] || fail "$name $option wrote to standard error: $(cat "$program.err")"
    rm -f "$program.err"
    case $option in
      --help) [[ $out == *"$name"* ]] || fail "$name --help: $out" ;;
      # The plot tool loads no library: its release alone.
      --version) echo "$out" | grep -qxE "$name $release(, built [0-9-]*, library $release)?" ||
        fail "$name --version: $out" ;;
    esac
  done
done
[ $failed = 0 ] && echo "conventions: --help and --version of $# programs"
exit $failed
