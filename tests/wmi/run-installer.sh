#!/usr/bin/env bash
# Builds the answers installer with makensis for amd64-unicode, runs it
# silently under wine64 and checks every answer's form and the sentinel below
# each call. Run through kit_wine_test (prefix and server already set up).
# Usage: run-installer.sh SCRIPT PLUGIN_DIR WORK_DIR
set -u
script=$1 plugins=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
makensis -V2 -DTARGET=amd64-unicode -DPLUGINS="$plugins" -DOUTFILE="$work/sysfacts-answers.exe" "$script" \
  || { echo "FAIL: makensis"; exit 1; }
"${WINE:-$WINELOADER}" "$work/sysfacts-answers.exe" /S
rc=$?
[ $rc -eq 0 ] || { echo "FAIL: sysfacts-answers.exe /S exit status $rc"; exit 1; }
[ -f "$work/answers.txt" ] || { echo "FAIL: no answers.txt"; exit 1; }
tr -d '\r' <"$work/answers.txt" >"$work/answers.lf"
cat "$work/answers.lf"

fail=0
declare -A seen
# expect NAME STATUS VALUE-REGEX (extended regular expression, whole value)
expect() {
  local line status value below
  line=$(grep -m1 "^$1|" "$work/answers.lf") || { echo "FAIL: $1 gave no answer"; fail=1; return; }
  IFS='|' read -r _ status value below <<<"$line"
  seen[$1]=1
  [ "$below" = "sentinel" ] || { echo "FAIL: $1 left '$below' where the sentinel was"; fail=1; }
  if [ "$status" != "$2" ] || ! grep -qxE -- "$3" <<<"$value"; then
    echo "FAIL: $1 answered '$status' '$value', expected '$2' matching $3"
    fail=1
  fi
}
missing_namespace='Could not connect\. Error code = 0x8004100e'
expect OS ok '.+'
expect OSVersion ok '[0-9]+(\.[0-9]+)+'
expect FullOS ok '.+ version : [0-9.]+( service pack : [0-9]+\.[0-9]+)?'
expect CPU ok '.+'
# Wine's desktop monitor has no screen size.
grep -q '^Resolution|ok|' "$work/answers.lf" \
  && expect Resolution ok '([0-9]+x[0-9]*|Unknown)' \
  || expect Resolution error 'Unable to find requested value\. Error code = 0x80041002'
expect UserName ok '[^\\]+\\.+'
expect ShortUserName ok '[^\\]+'
expect UserSID ok '(S-1-[0-9-]+)?'
expect AntiVirus error "$missing_namespace"
expect FireWall error "$missing_namespace"
expect SQLVersion error "$missing_namespace"
expect FullSQLVersion error "$missing_namespace"
os=$(grep -m1 '^OS|' "$work/answers.lf" | cut -d'|' -f3)
cpu=$(grep -m1 '^CPU|' "$work/answers.lf" | cut -d'|' -f3)
expect Request ok "$(sed 's/[][\.*^$+?(){}|]/\\&/g' <<<"$os")"
expect Request2 ok "$(sed 's/[][\.*^$+?(){}|]/\\&/g' <<<"$cpu")"
[ ${#seen[@]} -eq 14 ] || { echo "FAIL: ${#seen[@]} of 14 exports answered"; fail=1; }
grep -qx 'stack|empty' "$work/answers.lf" || { echo "FAIL: entries left on the stack"; fail=1; }
[ $fail -eq 0 ] && echo "ok: fourteen answers, every sentinel intact"
exit $fail
