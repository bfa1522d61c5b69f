#!/usr/bin/env bash
# Builds the release layout: the 32-bit deliverables (shipped) and their 64-bit
# twins with the test programs. Installs missing packages first.
#   KIT_BUILD_DIR, KIT_DIST_DIR move the build trees and the release layout.
set -euo pipefail
. "$(dirname "$0")/kit-paths.sh"

"$root/scripts/setup.sh"

configure() { # arch toolchain tests
  cmake -S "$root" -B "$build/$1" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$2.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DKIT_TESTS="$3" -DKIT_DIST_DIR="$dist" >/dev/null
}

configure x86 i686 OFF
configure x64 x86_64 ON
cmake --build "$build/x86" -j "$(nproc)" -- --no-print-directory
cmake --build "$build/x64" -j "$(nproc)" -- --no-print-directory
echo "build: release layout in $dist"
