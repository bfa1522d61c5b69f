#!/usr/bin/env bash
# Checks that a built plug-in exports exactly the fourteen entry points, by
# their plain names (no decoration), and nothing else.
# Usage: check-exports.sh FILE
set -u
file=$1
[ -f "$file" ] || { echo "FAIL: $file does not exist"; exit 1; }
expected="AntiVirus CPU FireWall FullOS FullSQLVersion OS OSVersion Request Request2 Resolution SQLVersion ShortUserName UserName UserSID"
actual=$(x86_64-w64-mingw32-objdump -p "$file" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' \
  | awk '/^\t\[/ {print $3}' | sort | tr '\n' ' ' | sed 's/ $//')
want=$(tr ' ' '\n' <<<"$expected" | sort | tr '\n' ' ' | sed 's/ $//')
if [ "$actual" != "$want" ]; then
  echo "FAIL: $file exports: $actual"
  echo "      expected:     $want"
  exit 1
fi
echo "ok: $file exports the fourteen plain names"
