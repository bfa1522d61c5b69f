#!/usr/bin/env bash
# Builds the release layout (dist/) and shows the kit at work under Wine, in a
# Wine prefix of its own under build/demo that is removed afterwards.
set -euo pipefail
. "$(dirname "$0")/kit-paths.sh"

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

. "$root/tests/vbox_sim/use-vbox-sim.sh"
drive_c=$prefix/drive_c
set +e

# --- bridgefix ------------------------------------------------------------------
heading "bridgefix re-points the appliance VM's network bridge"
echo "A simulated VirtualBox (tests/vbox_sim) holds two machines; the appliance's"
echo "first adapter is attached by NAT and bridged to an adapter that is gone."
sim=$prefix/vbox-sim
mkdir -p "$sim"
cat >"$sim/scenario" <<EOS
version 7.0.14
home C:\\users\\demo\\.VirtualBox
pack Oracle VM VirtualBox Extension Pack
machine Build server
bridged Old adapter
machine Kestal Appliance
settings C:\\users\\demo\\VirtualBox VMs\\Kestal Appliance\\Kestal Appliance.vbox
enabled 0
attachment 1
bridged Old adapter
EOS
use_vbox_sim "$build/x64/tests/vbox_sim/vbox_sim.dll" "$sim"
echo
echo '$ bridgefix.exe "Kestal Appliance"'
"$WINE" "$dist/x64/bridgefix.exe" "Kestal Appliance" | tr -d '\r'
echo "(exit status ${PIPESTATUS[0]})"
echo
echo "Saved in the machine's settings:"
sed 's/^/  /' "$sim/saved"

# --- vmservice ------------------------------------------------------------------
heading "vmservice runs the start and stop commands as a Windows service"
service_dir="$drive_c/Program Files/Kestal"
mkdir -p "$service_dir"
cp "$dist/x64/vmservice.exe" "$service_dir/"
state() { "$WINE" sc query VmKestal-svc 2>/dev/null | tr -d '\r' | awk '/STATE/ { print $4 }'; }
wait_state() { # NAME: polls for up to 30 s
  for _ in $(seq 150); do [ "$(state)" = "$1" ] && return 0; sleep 0.2; done
  echo "(the service did not reach $1)"
}
echo '$ "C:\Program Files\Kestal\vmservice.exe" install'
"$WINE" "C:\\Program Files\\Kestal\\vmservice.exe" install | tr -d '\r'
key='HKLM\Software\Kestal\crm-ks-installer'
"$WINE" reg add "$key" /v ServiceStart /d 'cmd /c echo VM started> C:\ProgramData\Kestal\vm-state.txt' /f >/dev/null
"$WINE" reg add "$key" /v ServiceStop /d 'cmd /c echo VM stopped> C:\ProgramData\Kestal\vm-state.txt' /f >/dev/null
echo "The installer's commands, in the registry:"
"$WINE" reg query "$key" | tr -d '\r' | grep REG_SZ
echo
vm_state() { tr -d '\r' <"$drive_c/ProgramData/Kestal/vm-state.txt" 2>/dev/null; }
service_command() { # start|stop STATE
  echo "\$ net $1 VmKestal-svc"
  "$WINE" net "$1" VmKestal-svc >/dev/null 2>&1
  wait_state "$2"
  echo "service state: $(state)"
  sleep 1
  echo "C:\\ProgramData\\Kestal\\vm-state.txt: $(vm_state)"
}
service_command start RUNNING
service_command stop STOPPED
log=$(ls "$drive_c/ProgramData/Kestal/VmKestal/1.0/log/"*_svc.log 2>/dev/null | head -1)
echo
echo "The service's log, C:\\ProgramData\\Kestal\\VmKestal\\1.0\\log\\$(basename "$log"):"
tr -d '\r' <"$log" | sed 's/^/  /'

# --- SysFacts -------------------------------------------------------------------
heading "An installer asks SysFacts its fourteen questions"
installer=$prefix/sysfacts
mkdir -p "$installer"
makensis -V1 -DTARGET=amd64-unicode -DPLUGINS="$dist/Plugins/amd64-unicode" \
  -DOUTFILE="$installer/sysfacts-answers.exe" "$root/tests/wmi/installer/sysfacts_answers.nsi"
"$WINE" "$installer/sysfacts-answers.exe" /S
echo "(installer exit status $?; Wine has no Security Center and no SQL Server)"
echo
tr -d '\r' <"$installer/answers.txt" | awk -F'|' '$1 != "stack" { printf "  %-15s %-6s %s\n", $1, $2, $3 }'
