#!/usr/bin/env bash
# The README's recipes as written: the install block (build, `cmake --install` into /usr/local and
# the loader step), then the C example of "Use it from C" built with pkg-config and run against the
# simulated device; everything installed is removed again afterwards. Needs root (the recipe
# installs into /usr/local); the packages leg runs it.
# Usage: recipes_test.sh <source dir>
set -euo pipefail
source=$(realpath "$1")
work=$(mktemp -d)
fail() { echo "FAILED: $*" >&2; exit 1; }
[ "$(id -u)" = 0 ] || { echo "recipes test: needs root, skipped"; exit 0; }
[ ! -e /usr/local/include/COM-KESTRAVO.h ] || fail "/usr/local holds COM-KESTRAVO already"

# The indented lines of the README's section named $1, up to the next heading.
block() {
  awk -v title="## $1" '$0 == title {on = 1; next} /^## / {on = 0} on && /^    / {print substr($0, 5)}' \
    "$source/README.md"
}
cleanup() {
  [ ! -f "$source/build/release/install_manifest.txt" ] ||
    cmake --build "$source/build/release" --target uninstall >/dev/null 2>&1 || true
  ldconfig || true
  rm -rf "$work"
}
trap cleanup EXIT

install=$(block "Build and install" | grep -E '^(cmake|sudo) ')
[ "$(echo "$install" | wc -l)" = 2 ] || fail "the install recipe is not the two lines it was: $install"
echo "$install"
# As root, sudo is the command itself.
(cd "$source" && eval "$(echo "$install" | sed 's/\bsudo //g')") >/dev/null || fail "the install recipe"

block "Use it from C" | sed -n '/^#include/,/^}/p' > "$work/first.c"
build=$(block "Use it from C" | grep -o 'cc first.c \$(pkg-config[^)]*)' || true)
[ -n "$build" ] || build=$(grep -o 'cc first.c `*\$(pkg-config --cflags --libs COM-KESTRAVO)' "$source/README.md" | head -1)
build=${build//\`/}
[ -n "$build" ] || fail "no pkg-config build line for first.c in the README"
(cd "$work" && eval "$build -o first") || fail "building the README's C example: $build"
out=$(cd "$work" && env -u LD_LIBRARY_PATH ./first) || fail "the README's C example: $out"
release=$(sed -n 's/^#define COM_KESTRAVO_VERSION_STRING "\([^"]*\)".*/\1/p' "$source/include/COM-KESTRAVO.h")
[ "$out" = "firmware 1-03, library $release" ] || fail "the README's C example printed: $out"
echo "recipes: the install block and the C example work as written ($out)"
