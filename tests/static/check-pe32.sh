#!/usr/bin/env bash
# Checks a shipped 32-bit binary: PE32 for Intel 386, the expected subsystem,
# and imports only from Windows system DLLs (nothing that must ship beside it).
# Usage: check-pe32.sh FILE console|dll
set -u
file=$1 kind=$2
objdump=i686-w64-mingw32-objdump
fail=0
[ -f "$file" ] || { echo "FAIL: $file does not exist"; exit 1; }
headers=$($objdump -p "$file") || { echo "FAIL: objdump cannot read $file"; exit 1; }

grep -q "file format pei-i386" <<<"$headers" || { echo "FAIL: $file is not PE32 for Intel 386"; fail=1; }
grep -qE "^Magic[[:space:]]+010b" <<<"$headers" || { echo "FAIL: $file has no PE32 optional header"; fail=1; }
case $kind in
  console) grep -qE "^Subsystem[[:space:]]+00000003" <<<"$headers" || { echo "FAIL: $file is not a console program"; fail=1; } ;;
  dll) grep -qE "^[[:space:]]+DLL$" <<<"$headers" || { echo "FAIL: $file is not a DLL"; fail=1; } ;;
esac

allowed='^(kernel32|user32|advapi32|shell32|shlwapi|ole32|oleaut32|iphlpapi|ws2_32|msvcrt)\.dll$'
while read -r dll; do
  lower=$(tr 'A-Z' 'a-z' <<<"$dll")
  if ! grep -qE "$allowed" <<<"$lower"; then
    echo "FAIL: $file imports $dll, which is not a Windows system DLL"
    fail=1
  fi
done < <(grep "DLL Name:" <<<"$headers" | awk '{print $3}')

if [ $fail -eq 0 ]; then
  echo "ok: $file is PE32 i386 ($kind), imports: $(grep 'DLL Name:' <<<"$headers" | awk '{print $3}' | tr '\n' ' ')"
fi
exit $fail
