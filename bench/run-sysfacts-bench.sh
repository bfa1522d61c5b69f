#!/usr/bin/env bash
# SysFacts benchmark under wine64 (not a test): the cost of each export called
# in-process, then four facts read by an installer through SysFacts against
# nsExec::ExecToStack running wmic, all in one prefix and one server.
# Usage: run-sysfacts-bench.sh X64_BUILD_DIR DIST_DIR [ROUNDS]
set -eu
build=$1 dist=$2 rounds=${3:-50}
here=$(cd "$(dirname "$0")" && pwd)
work=$build/bench/sysfacts
template=$build/wine/template
[ -f "$template/.kit-ready" ] || "$here/../tests/wine/make-template.sh" "$template" >/dev/null
rm -rf "$work" && mkdir -p "$work"
cp -a "$template" "$work/prefix"
. "$here/../tests/wine/wine-env.sh" "$work/prefix"
trap wine_stop_server EXIT
"$WINESERVER" -p

echo "== Each export in-process, amd64-unicode, ms per call (mean of $rounds after one warm-up)"
"$WINE" "$build/bench/sysfacts_calls.exe" "Z:${dist//\//\\}\\Plugins\\amd64-unicode\\SysFacts.dll" "$rounds" \
  | tr -d '\r' | tee "$work/calls.txt"

installer_rounds=$(( rounds / 5 > 0 ? rounds / 5 : 1 ))
makensis -V2 -DPLUGINS="$dist/Plugins/amd64-unicode" -DROUNDS=$installer_rounds \
  -DOUTFILE="$work/sysfacts-vs-wmic.exe" "$here/sysfacts_vs_wmic.nsi"
"$WINE" "$work/sysfacts-vs-wmic.exe" /S
echo "== Installer, $installer_rounds reads of each fact: SysFacts against nsExec::ExecToStack wmic"
printf '%-10s %14s %14s %8s\n' fact "SysFacts ms" "wmic ms" ratio
tr -d '\r' <"$work/timings.txt" | while IFS='|' read -r fact plugin wmic; do
  per_plugin=$(awk -v t="$plugin" -v n=$installer_rounds 'BEGIN { printf "%.2f", t / n }')
  per_wmic=$(awk -v t="$wmic" -v n=$installer_rounds 'BEGIN { printf "%.1f", t / n }')
  ratio=$(awk -v p="$plugin" -v w="$wmic" 'BEGIN { if (p < 1) p = 1; printf "%.0fx", w / p }')
  printf '%-10s %14s %14s %8s\n' "$fact" "$per_plugin" "$per_wmic" "$ratio"
done
