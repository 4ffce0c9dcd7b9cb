#!/usr/bin/env bash
# The Tango device server's test against the simulator, with Debian's python3-tango as the client.
# Usage: run.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
exec /usr/bin/python3 "$here/tango_test.py" "$build/COM-KESTRAVO-Tango" "$build/COM-KESTRAVO-Sim" \
  "$build/COM-KESTRAVO-Control" "$here/../../docs/tango.md"
