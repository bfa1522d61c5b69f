#!/usr/bin/env bash
# Builds everything and runs the whole test suite under wine64.
set -euo pipefail
. "$(dirname "$0")/kit-paths.sh"

"$root/scripts/build.sh"
ctest --test-dir "$build/x64" --output-on-failure -j 2 "$@"
