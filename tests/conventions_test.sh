#!/usr/bin/env bash
# The programs keep the same conventions: --help prints the usage (the console program's begins with
# its banner, as it always did) on standard output with status 0,
# --version prints "PROGRAM RELEASE, built DATE, library RELEASE" with status 0, both with nothing
# on standard error; an error names the program, what failed and why on standard error
# ("PROGRAM: WHAT: REASON") and ends with a status other than 0.
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
  # A file that is not there, or an option that does not exist.
  case $name in
    COM-KESTRAVO-Control*) args=(sim -q -KR /nonexistent/all.cfg -T) want="/nonexistent/all.cfg: No such file or directory" ;;
    COM-KESTRAVO-Plot*) args=(/nonexistent/log.tsv) want="/nonexistent/log.tsv: No such file or directory" ;;
    *) args=(--bogus) want="--bogus: unknown option" ;;
  esac
  err=$("$program" "${args[@]}" 2>&1 >/dev/null)
  status=$?
  [[ $err == "$name: $want"* ]] || fail "$name ${args[*]}: standard error: $err"
  case $name in
    COM-KESTRAVO-Control*) ;;  # without --strict a failed command does not change the status
    *) [ $status != 0 ] || fail "$name ${args[*]}: status 0" ;;
  esac
done
[ $failed = 0 ] && echo "conventions: --help, --version and errors of $# programs"
exit $failed
