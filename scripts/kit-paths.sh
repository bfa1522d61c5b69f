# Sourced by the scripts: the source root, the build trees and the release
# layout, as absolute paths.
#   KIT_BUILD_DIR  build trees (default: build)
#   KIT_DIST_DIR   release layout (default: dist)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KIT_BUILD_DIR:-$root/build}
dist=${KIT_DIST_DIR:-$root/dist}
case $build in /*) ;; *) build=$root/$build ;; esac
case $dist in /*) ;; *) dist=$root/$dist ;; esac
