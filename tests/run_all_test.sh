#!/usr/bin/env bash
# tests/run-all installs only what the named legs need: the packages it asks for are recorded by a
# stand-in for tools/dev/need-packages, which then stops it before any leg runs.
# Usage: run_all_test.sh <source dir>
set -euo pipefail
source=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
mkdir -p "$work/tests" "$work/tools/dev"
cp "$source/tests/run-all" "$work/tests/"
cat > "$work/tools/dev/need-packages" <<'STUB'
#!/usr/bin/env bash
printf '%s\n' "$@" > "$(dirname "$0")/asked"
exit 7
STUB
chmod +x "$work/tools/dev/need-packages"
asked() {
  rm -f "$work/tools/dev/asked"
  status=0
  "$work/tests/run-all" "$@" >/dev/null 2>&1 || status=$?
  [ $status = 7 ] || fail "run-all $*: status $status, not the stand-in's"
  cat "$work/tools/dev/asked"
}
format=$(asked format)
echo "$format" | grep -qx clang-format || fail "format does not ask for clang-format: $format"
! echo "$format" | grep -qE '^(wine|wine64|chromium|g\+\+-mingw.*|lintian)$' || fail "format asks for: $format"
asked mingw | grep -qx wine || fail "mingw does not ask for Wine"
asked docs | grep -qx doxygen || fail "docs does not ask for doxygen"
asked tango | grep -qx libtango-dev || fail "tango does not ask for libtango-dev"
! asked tango | grep -qE '^(wine|chromium)$' || fail "tango asks for Wine or a browser"
[ "$(asked ci docs | sort | uniq -d)" = "" ] || fail "a package asked for twice"
all=$(asked)
for p in wine g++-mingw-w64-i686 lintian clang-format chromium doxygen; do
  echo "$all" | grep -qx "$p" || fail "all legs do not ask for $p"
done
"$work/tests/run-all" nosuchleg >/dev/null 2>&1 && fail "an unknown leg runs" || true
echo "run-all: each leg asks for its own packages"
