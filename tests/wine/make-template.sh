#!/usr/bin/env bash
# Creates the template Wine prefix that every test copies: once per build tree.
# Usage: make-template.sh TEMPLATE_DIR
set -u
template=$1
if [ -f "$template/.kit-ready" ]; then
  exit 0
fi
rm -rf "$template"
mkdir -p "$(dirname "$template")"
. "$(dirname "$0")/wine-env.sh" "$template"
"$WINE" wineboot -i >/dev/null 2>&1
rc=$?
wine_stop_server
if [ $rc -ne 0 ] || [ ! -f "$template/system.reg" ]; then
  echo "make-template: wineboot failed in $template (exit $rc)" >&2
  exit 1
fi
touch "$template/.kit-ready"
echo "make-template: prefix ready in $template"
