#!/usr/bin/env bash
# Runs one fuzz target for a fixed number of runs on its seed corpus; new inputs go to a scratch
# directory, never into the repository. A crash leaves its input in the scratch directory's
# parent and fails.   Usage: run_fuzzer.sh <target> <seed corpus> <runs>
set -euo pipefail
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$1" -runs="$3" -max_len=4096 -timeout=20 -artifact_prefix="${TMPDIR:-/tmp}/kestravo-fuzz-" "$scratch" "$2"
