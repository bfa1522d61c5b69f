#!/usr/bin/env bash
# Builds examples/appliance-installer.nsi for amd64-unicode, runs it silently
# under wine64 against the simulated VirtualBox, and checks what it leaves: the
# host facts, the service's commands in the registry, the registered service
# (whose start and stop then run those commands), and the re-pointed VM. The
# 32-bit variants must compile.
# Usage (through run-in-prefix.sh): example_installer.sh SCRIPT DIST VBOX_SIM_DLL SERVICE_CONFIG_EXE
set -u
script=$1 dist=$2 sim_dll=$3 service_config=$4
work=$WINEPREFIX/example
mkdir -p "$work"
. "$(dirname "$0")/../vbox_sim/use-vbox-sim.sh"
fail=0
fail() { echo "FAIL: $*"; fail=1; }

# --- the 32-bit variants compile -------------------------------------------------
for target in x86-unicode x86-ansi; do
  makensis -V1 -DKIT_DIST="$dist" -DKIT_TARGET=$target -DOUTFILE="$work/setup-$target.exe" "$script" ||
    fail "makensis for $target"
done

# --- the simulated VirtualBox with the appliance VM ----------------------------------
cat >"$work/scenario" <<EOS
machine Kestal Appliance
attachment 1
bridged Old adapter
EOS
use_vbox_sim "$sim_dll" "$work" ||
  fail "cannot register the simulated VirtualBox"

# --- build and run the installer -----------------------------------------------------
start_command='cmd /c echo started> C:\vm-state.txt'
stop_command='cmd /c echo stopped> C:\vm-state.txt'
makensis -V1 -DKIT_DIST="$dist" -DOUTFILE="$work/setup.exe" \
  "-DVM_START_COMMAND=$start_command" "-DVM_STOP_COMMAND=$stop_command" "$script" ||
  { echo "FAIL: makensis for amd64-unicode"; exit 1; }
"$WINE" "$work/setup.exe" /S
rc=$?
[ $rc -eq 0 ] || fail "setup.exe /S exit status $rc"

instdir="$WINEPREFIX/drive_c/Program Files/Kestal/VmKestal"
for f in vmservice.exe bridgefix.exe host-facts.txt; do
  [ -f "$instdir/$f" ] || fail "$f not installed"
done

# Facts, with the branches on the status word: Wine has no Security Center and
# no SQL Server, so those take the error branch.
tr -d '\r' <"$instdir/host-facts.txt" >"$work/facts"
cat "$work/facts"
expect_fact() { grep -qxE -- "$1" "$work/facts" || fail "no facts line matching $1"; }
expect_fact 'Windows: .+ version : [0-9.]+( service pack : [0-9]+\.[0-9]+)?'
expect_fact 'Processor: .+'
expect_fact 'User: [^\\]+\\.+'
expect_fact 'Antivirus: unknown \(Could not connect\. Error code = 0x8004100e\)'
expect_fact 'SQL Server: none'
expect_fact 'Explorer process: [0-9]+'

# The commands, in the registry view the service reads.
for pair in "ServiceStart|$start_command" "ServiceStop|$stop_command"; do
  name=${pair%%|*} value=${pair#*|}
  actual=$("$WINE" reg query 'HKLM\Software\Kestal\crm-ks-installer' /v "$name" 2>/dev/null |
    tr -d '\r' | sed -n "s/^ *$name *REG_SZ *//p")
  [ "$actual" = "$value" ] || fail "$name is '$actual', expected '$value'"
done

# The service, registered by "vmservice install" with its quoted path.
"$WINE" "$service_config" VmKestal-svc >"$work/config" 2>&1 || fail "VmKestal-svc is not registered"
grep -qF '"C:\Program Files\Kestal\VmKestal\vmservice.exe"' "$work/config" ||
  { fail "registered path is not the installed, quoted one:"; cat "$work/config"; }

state() { "$WINE" sc query VmKestal-svc 2>/dev/null | tr -d '\r' | awk '/STATE/ { print $3 }'; }
wait_for() { # STATE FILE-CONTENT: polls for up to 30 s
  for _ in $(seq 150); do
    [ "$(state)" = "$1" ] && grep -qx "$2" <(tr -d '\r ' <"$WINEPREFIX/drive_c/vm-state.txt" 2>/dev/null) && return 0
    sleep 0.2
  done
  return 1
}
"$WINE" net start VmKestal-svc >/dev/null 2>&1
wait_for 4 started || fail "the service did not start and run ServiceStart"
"$WINE" net stop VmKestal-svc >/dev/null 2>&1
wait_for 1 stopped || fail "the service did not stop and run ServiceStop"

# bridgefix re-pointed the appliance VM to the host's adapter.
grep -qE '^"Kestal Appliance": enabled=true attachment=2 bridged=".+"$' "$work/saved" ||
  { fail "the VM was not re-pointed:"; cat "$work/saved"; }
grep -q 'bridged="Old adapter"' "$work/saved" && fail "the VM is still bridged to the old adapter"

[ $fail -eq 0 ] && echo "ok: the example installer installed and configured the kit"
exit $fail
