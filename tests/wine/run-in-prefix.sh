#!/usr/bin/env bash
# Runs one test program under wine64 in a prefix of its own, copied from the
# template, with a server that lives exactly as long as the run.
# Usage: run-in-prefix.sh TEMPLATE_DIR PREFIX_DIR PROGRAM [ARGS...]
# PROGRAM is a Windows program, or a bash script (*.sh) that finds the prefix's
# environment already set (wine-env.sh) and runs "$WINE" itself.
# The prefix is removed after a passing run and kept after a failing one.
set -u
template=$1 prefix=$2
shift 2
if [ ! -f "$template/.kit-ready" ]; then
  echo "run-in-prefix: no template prefix in $template" >&2
  exit 1
fi
. "$(dirname "$0")/wine-env.sh" "$prefix"
[ -d "$prefix" ] && wine_stop_server
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
cp -a "$template" "$prefix"
export KIT_WINEPREFIX="$prefix"
"$WINESERVER" -p
case "$1" in
  *.sh) bash "$@" ;;   # a script that drives several programs in the prefix
  *) "$WINE" "$@" ;;
esac
rc=$?
wine_stop_server
if [ $rc -eq 0 ] && [ -z "${KIT_KEEP_PREFIX:-}" ]; then
  rm -rf "$prefix"
fi
exit $rc
