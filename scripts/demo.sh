#!/usr/bin/env bash
# Builds the release layout (dist/) and shows the kit at work under Wine, in a
# Wine prefix of its own under build/demo that is removed afterwards.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KIT_BUILD_DIR:-$root/build}
dist=${KIT_DIST_DIR:-$root/dist}
case $build in /*) ;; *) build=$root/$build ;; esac
case $dist in /*) ;; *) dist=$root/$dist ;; esac

mkdir -p "$build"
echo "Building the release layout (log: $build/demo-build.log)..."
if ! "$root/scripts/build.sh" >"$build/demo-build.log" 2>&1; then
  tail -40 "$build/demo-build.log"
  echo "demo: the build failed" >&2
  exit 1
fi

template=$build/x64/wine/template
prefix=$build/demo/prefix
"$root/tests/wine/make-template.sh" "$template" >/dev/null
. "$root/tests/wine/wine-env.sh" "$prefix"
[ -d "$prefix" ] && wine_stop_server
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
cp -a "$template" "$prefix"
"$WINESERVER" -p
trap 'wine_stop_server; rm -rf "$prefix"' EXIT

heading() { printf '\n=== %s ===\n' "$1"; }

heading "Release layout"
(cd "$dist" && find . -type f | sort | while read -r f; do printf '%8d  %s\n' "$(stat -c %s "$f")" "${f#./}"; done)

heading "bridgefix: host adapters that can carry the bridge (dist/x64/bridgefix.exe \"Appliance VM\")"
set +e
"$WINE" "$dist/x64/bridgefix.exe" "Appliance VM" | tr -d '\r'
echo "exit status: ${PIPESTATUS[0]}"
set -e
