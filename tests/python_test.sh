#!/usr/bin/env bash
# Installs the Python package the documented way (pip, offline, into a fresh virtual environment
# that sees the system's setuptools and pytest) and runs its pytest suite against the simulated
# device, with the library and programs of this build.
# Usage: python_test.sh <python> <source dir> [<library> <control program> <sim program>]
# Without the last three the package finds the installed library by its soname and the tests the
# installed programs on PATH.
set -euo pipefail
python=$1 source=$(realpath "$2")
if [ $# -ge 5 ]; then export KESTRAVO_LIBRARY=$3 KESTRAVO_CONTROL=$4 KESTRAVO_SIM=$5; fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# pip builds in the tree it is given: a copy keeps the source tree clean.
cp -r "$source/python" "$work/python"
mkdir -p "$work/dist1" "$work/dist2"
mkdir -p "$work/include" "$work/examples"
cp "$source/include/COM-KESTRAVO.h" "$work/include/"
cp "$source/LICENSE" "$source/CHANGELOG.md" "$work/"
cp -r "$source/examples/python" "$work/examples/"
# The wheel and the sdist, each built twice (the tests check that the two builds are the same bytes).
for n in 1 2; do
  (cd "$work/python" && "$python" -c 'import sys; sys.path.insert(0, "_build"); import kestravo_build as b
b.build_wheel(sys.argv[1]); b.build_sdist(sys.argv[1])' "$work/dist$n")
done
export KESTRAVO_DIST="$work/dist1" KESTRAVO_DIST_AGAIN="$work/dist2"
# The install as the README gives it, offline into an environment without the system's packages:
# the package's own build backend needs nothing from the network. This one installs from the sdist,
# which must hold all it needs; its console script runs.
"$python" -m venv "$work/bare"
(cd "$work" && "$work/bare/bin/pip" install --quiet --no-index "$work"/dist1/kestravo-*.tar.gz)
(cd "$work" && "$work/bare/bin/kestravo" --version)
# The suite runs where pytest is: an environment that sees the system's packages.
"$python" -m venv --system-site-packages "$work/venv"
"$work/venv/bin/pip" install --quiet --no-index "$work/python"
cd "$work"
"$work/venv/bin/python" -c 'import kestravo; print("kestravo", kestravo.__version__, "from", kestravo.__file__)'
# The package's types, strictly, where mypy is installed (Debian's mypy in CI).
if "$python" -m mypy --version >/dev/null 2>&1; then
  (cd "$work/python" && "$python" -m mypy --strict --no-incremental kestravo)
fi
# The tests import the installed package, not the copy (pytest puts only the tests' folder on the path).
rm -rf "$work/python/kestravo"
"$work/venv/bin/python" -m pytest -q -rs -p no:cacheprovider "$work/python/tests" \
  --rootdir "$work/python" -o "testpaths=tests"
