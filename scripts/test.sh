#!/usr/bin/env bash
# Builds everything and runs the whole test suite under wine64.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KIT_BUILD_DIR:-$root/build}
case $build in /*) ;; *) build=$root/$build ;; esac

"$root/scripts/build.sh"
ctest --test-dir "$build/x64" --output-on-failure -j 2 "$@"
