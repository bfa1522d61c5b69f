#!/usr/bin/env bash
# End to end: the released bridgefix.exe against the simulated VirtualBox.
# Each case writes a scenario, runs bridgefix and compares the whole standard
# output (the adapter blocks that discovery prints from Wine's real adapters,
# then the VirtualBox part), the exit status, the simulation's journal of
# calls and the adapter settings it saved.
# Usage (in a prefix of its own, see run-in-prefix.sh):
#   bridgefix_e2e.sh BRIDGEFIX_EXE VBOX_SIM_DLL FIRST_ADAPTER_EXE
set -u
WINE=${WINE:-$WINELOADER}
bridgefix=$1 sim_dll=$2 first_adapter=$3
work=$WINEPREFIX/e2e
mkdir -p "$work"
. "$(dirname "$0")/use-vbox-sim.sh"
failed=0

fail() { echo "FAIL: $*"; failed=1; }

# --- the case machinery --------------------------------------------------------

# begin_case NAME [ARGS...]: a new case; bridgefix gets ARGS.
begin_case() {
  case_name=$1; shift
  case_args=("$@")
  : >"$work/scenario"; : >"$work/expected.out"; : >"$work/expected.journal"; : >"$work/expected.saved"
}
scenario() { cat >"$work/scenario"; }
expect_output() { sed 's/$/\r/' >"$work/expected.out"; }  # stdout is in text mode
expect_journal() { cat >"$work/expected.journal"; }
expect_saved() { cat >"$work/expected.saved"; }

compare() { # what expected actual
  if ! cmp -s "$2" "$3"; then
    fail "$case_name: $1 differs (expected, actual):"
    diff -u "$2" "$3" | sed 's/\r$/<CR>/'
  fi
}

run_case() {
  rm -f "$work/journal" "$work/saved"
  touch "$work/journal" "$work/saved"
  "$WINE" "$bridgefix" "${case_args[@]}" >"$work/actual.out" 2>"$work/actual.err"
  local rc=$?
  [ $rc -eq 0 ] || fail "$case_name: exit status $rc, expected 0"
  cat "$blocks" "$work/expected.out" >"$work/expected.full"
  compare "standard output" "$work/expected.full" "$work/actual.out"
  compare "journal" "$work/expected.journal" "$work/journal"
  compare "saved settings" "$work/expected.saved" "$work/saved"
  echo "case $case_name done"
}

# --- journal pieces that many cases share ------------------------------------------

# The calls of the diagnostics, for an installation without extension packs.
diagnostics_calls() {
  cat <<EOF
new client for IVirtualBoxClient
client get VirtualBox
vbox get VersionNormalized
vbox get HomeFolder
vbox get SystemProperties
sysprops get DefaultAdditionsISO
sysprops get DefaultFrontend
vbox get ExtensionPackManager
extpacks get InstalledExtPacks
client get Session
vbox get Machines
EOF
}
diagnostics_lines() {
  printf '%s\n' 'VBoxVersion: 7.0.12' 'VboxHomeFolder: C:\users\user\.VirtualBox'
}
# listed N: the calls that print machine N's two lines.
listed() {
  printf '%s\n' "machine#$1 get Name" "machine#$1 GetNetworkAdapter(0)" "adapter#$1 get BridgedInterface"
}
# change N NAME: a change of machine N that goes through, bridged to $target.
change() {
  cat <<EOF
machine#$1 get SettingsFilePath
vbox FindMachine("$2")
machine#$1 LockMachine(session, 2)
session get Machine
session-machine#$1 GetNetworkAdapter(0)
session-adapter#$1 put Enabled = true
session-adapter#$1 put AttachmentType = 2
session-adapter#$1 put BridgedInterface = "$target"
session-machine#$1 SaveSettings()
session UnlockMachine()
EOF
}
settings_line() { printf 'Settings: C:\\users\\user\\VirtualBox VMs\\%s\\%s.vbox\n' "$1" "$1"; }
# changed_lines NAME BRIDGED: the lines of a machine whose change runs.
changed_lines() {
  printf '%s\n' "VmName: $1" "Bridged to: $2" "Change to: $target"
  settings_line "$1"
}
end_line='end: 0 objects held'

# --- the class not registered: only the adapter blocks ------------------------------

blocks=$work/blocks.out
begin_case not_registered Appliance
"$WINE" "$bridgefix" Appliance >"$blocks" 2>"$work/actual.err"
rc=$?
[ $rc -eq 0 ] || fail "$case_name: exit status $rc, expected 0"
[ -s "$blocks" ] || fail "$case_name: no adapter block printed"
if grep -qav $'^\t.*\r$\|^\r$' "$blocks"; then
  fail "$case_name: lines besides the adapter blocks:"
  grep -av $'^\t.*\r$\|^\r$' "$blocks"
fi
[ -e "$work/journal" ] && fail "$case_name: the simulation was used"

# The chosen adapter: the first block's description, which must be the first
# adapter that is up, not the loopback and no virtual one.
target=$(grep -am1 $'^\tDescription: ' "$blocks" | sed $'s/^\tDescription: //; s/\r$//')
expected_target=$("$WINE" "$first_adapter" | tr -d '\r')
[ -n "$expected_target" ] || fail "Wine reports no adapter that bridgefix can choose"
[ "$target" = "$expected_target" ] ||
  fail "chosen adapter: \"$target\", expected \"$expected_target\""
echo "chosen adapter: $target"
case "$target" in
  "${target^^}") other_case=${target,,} ;;
  *) other_case=${target^^} ;;
esac

use_vbox_sim "$sim_dll" "$work" ||
  fail "cannot register the simulation"

# --- the correction -------------------------------------------------------------------

begin_case repointed Appliance
scenario <<EOF
machine Appliance
enabled 0
attachment 1
bridged Old adapter
EOF
expect_output <<EOF
$(diagnostics_lines)
VmName: Appliance
Bridged to: Old adapter
Change to: $target
$(settings_line Appliance)
EOF
expect_journal <<EOF
$(diagnostics_calls)
machine#0 get Name
machine#0 GetNetworkAdapter(0)
adapter#0 get BridgedInterface
machine#0 get SettingsFilePath
vbox FindMachine("Appliance")
machine#0 LockMachine(session, 2)
session get Machine
session-machine#0 GetNetworkAdapter(0)
session-adapter#0 put Enabled = true
session-adapter#0 put AttachmentType = 2
session-adapter#0 put BridgedInterface = "$target"
session-machine#0 SaveSettings()
session UnlockMachine()
$end_line
EOF
expect_saved <<EOF
"Appliance": enabled=true attachment=2 bridged="$target"
EOF
run_case

begin_case no_argument
scenario <<EOF
machine Appliance
bridged Old adapter
machine Spare
bridged <null>
EOF
expect_output <<EOF
$(diagnostics_lines)
VmName: Appliance
Bridged to: Old adapter
* skip
VmName: Spare
Bridged to: (null)
* skip
EOF
expect_journal <<EOF
$(diagnostics_calls)
$(listed 0)
$(listed 1)
$end_line
EOF
run_case

# Only the exact name counts: another letter case or a trailing blank is
# another machine. A name with blanks arrives whole; further arguments are
# ignored.
begin_case exact_name "My Appliance" Spare extra
scenario <<EOF
machine my appliance
machine My Appliance 
machine My Appliance
bridged <null>
EOF
expect_output <<EOF
$(diagnostics_lines)
VmName: my appliance
Bridged to: (null)
* skip
VmName: My Appliance 
Bridged to: (null)
* skip
$(changed_lines "My Appliance" "(null)")
EOF
expect_journal <<EOF
$(diagnostics_calls)
$(listed 0)
$(listed 1)
$(listed 2)
$(change 2 "My Appliance")
$end_line
EOF
expect_saved <<EOF
"My Appliance": enabled=true attachment=2 bridged="$target"
EOF
run_case

# Only the bridged interface decides. Left alone when it is the target exactly,
# whatever the attachment (bridged, or NAT on a disabled adapter)...
for attachment in 2 1; do
  begin_case "already_bridged_attachment_$attachment" Appliance
  scenario <<EOF
machine Appliance
enabled $((attachment == 2))
attachment $attachment
bridged $target
EOF
  expect_output <<EOF
$(diagnostics_lines)
VmName: Appliance
Bridged to: $target
EOF
  expect_journal <<EOF
$(diagnostics_calls)
$(listed 0)
$end_line
EOF
  run_case
done

# ...and changed when it is the same name in another letter case.
begin_case other_letter_case Appliance
scenario <<EOF
machine Appliance
attachment 2
bridged $other_case
EOF
expect_output <<EOF
$(diagnostics_lines)
$(changed_lines Appliance "$other_case")
EOF
expect_journal <<EOF
$(diagnostics_calls)
$(listed 0)
$(change 0 Appliance)
$end_line
EOF
expect_saved <<EOF
"Appliance": enabled=true attachment=2 bridged="$target"
EOF
run_case

# A change is followed by the remaining machines; machines come as listed, here
# as an array of VARIANTs.
begin_case change_then_rest Appliance
scenario <<EOF
objects-as variant
machine Build
bridged Old adapter
machine Appliance
bridged <null>
machine Test
bridged Old adapter
EOF
expect_output <<EOF
$(diagnostics_lines)
VmName: Build
Bridged to: Old adapter
* skip
$(changed_lines Appliance "(null)")
VmName: Test
Bridged to: Old adapter
* skip
EOF
expect_journal <<EOF
$(diagnostics_calls)
$(listed 0)
$(listed 1)
$(change 1 Appliance)
$(listed 2)
$end_line
EOF
expect_saved <<EOF
"Appliance": enabled=true attachment=2 bridged="$target"
EOF
run_case

# --- failures of the change: reported, session unlocked, walk goes on ---------------

# The exception is one that the caller has filled in on demand.
begin_case find_fails Appliance
scenario <<EOF
deferred-exceptions
machine Appliance
bridged Old adapter
machine Spare
fail vbox FindMachine 0x80bb0001 Could not find a registered machine named 'Appliance'
EOF
expect_output <<EOF
$(diagnostics_lines)
$(changed_lines Appliance "Old adapter")
Can't open machine
Error description: Could not find a registered machine named 'Appliance'
VmName: Spare
Bridged to: (null)
* skip
EOF
expect_journal <<EOF
$(diagnostics_calls)
$(listed 0)
machine#0 get SettingsFilePath
vbox FindMachine("Appliance") -> 0x80bb0001
$(listed 1)
$end_line
EOF
run_case

# Three failed locks: one without an error object (an unread one from an
# earlier failure must not show), one with a description, one whose error
# object has none. The walk goes on after each.
begin_case lock_fails Appliance
scenario <<EOF
machine Appliance
bridged Old adapter
machine Appliance
bridged Old adapter
machine Appliance
bridged Old adapter
machine Spare
fail sysprops DefaultFrontend 0x80004005 An unread description
fail-once machine#0 LockMachine 0x80bb0007
fail-once machine#0 LockMachine 0x80bb0007 The machine is already locked for a session (or being unlocked)
fail-once machine#0 LockMachine 0x80bb0007 <null>
EOF
refused_lines() {
  changed_lines Appliance "Old adapter"
  echo "Can't lock machine"
}
expect_output <<EOF
$(diagnostics_lines)
Error getting defaultFrontend! rc = 0x80004005
$(refused_lines)
$(refused_lines)
Error description: The machine is already locked for a session (or being unlocked)
$(refused_lines)
Error getting error description! rc = 0x0
VmName: Spare
Bridged to: (null)
* skip
EOF
refused_calls() {
  listed $1
  printf '%s\n' "machine#$1 get SettingsFilePath" 'vbox FindMachine("Appliance")' \
    'machine#0 LockMachine(session, 2) -> 0x80bb0007'
}
expect_journal <<EOF
$(diagnostics_calls | sed 's/^sysprops get DefaultFrontend$/& -> 0x80004005/')
$(refused_calls 0)
$(refused_calls 1)
$(refused_calls 2)
$(listed 3)
$end_line
EOF
run_case

# Two machines of the target's name: the second change can lock only because
# the first unlocked the session after its failed save.
begin_case save_fails Appliance
scenario <<EOF
machine Appliance
bridged Old adapter
machine Appliance
bridged Old adapter
fail session-machine#0 SaveSettings 0x80bb0004 Could not save the settings file
EOF
expect_output <<EOF
$(diagnostics_lines)
$(changed_lines Appliance "Old adapter")
SaveSettings() failed, err=-2135228412
Error description: Could not save the settings file
$(changed_lines Appliance "Old adapter")
SaveSettings() failed, err=-2135228412
Error description: Could not save the settings file
EOF
save_failing_change() {
  change 0 Appliance | sed 's/^\(session-machine#0 SaveSettings()\)$/\1 -> 0x80bb0004/'
}
expect_journal <<EOF
$(diagnostics_calls)
$(listed 0)
$(save_failing_change)
$(listed 1)
machine#1 get SettingsFilePath
$(save_failing_change | tail -n +2)
$end_line
EOF
run_case

# Between the lock and the save the session's machine or its adapter cannot be
# had: nothing is printed and the session is unlocked, so that the third
# machine of the same name can still be changed.
begin_case unlocked_on_every_path Appliance
scenario <<EOF
machine Appliance
bridged Old adapter
machine Appliance
bridged Old adapter
machine Appliance
bridged Old adapter
fail-once session Machine 0x80004005 no machine
fail-once session-machine#0 GetNetworkAdapter 0x80070057 no adapter
EOF
expect_output <<EOF
$(diagnostics_lines)
$(changed_lines Appliance "Old adapter")
$(changed_lines Appliance "Old adapter")
$(changed_lines Appliance "Old adapter")
EOF
expect_journal <<EOF
$(diagnostics_calls)
$(listed 0)
machine#0 get SettingsFilePath
vbox FindMachine("Appliance")
machine#0 LockMachine(session, 2)
session get Machine -> 0x80004005
session UnlockMachine()
$(listed 1)
machine#1 get SettingsFilePath
vbox FindMachine("Appliance")
machine#0 LockMachine(session, 2)
session get Machine
session-machine#0 GetNetworkAdapter(0) -> 0x80070057
session UnlockMachine()
$(listed 2)
machine#2 get SettingsFilePath
$(change 0 Appliance | tail -n +2)
$end_line
EOF
expect_saved <<EOF
"Appliance": enabled=true attachment=2 bridged="$target"
EOF
run_case

# A machine whose name cannot be read prints nothing; a bridged interface that
# cannot be read shows as (null) and counts as empty; a settings path that
# cannot be read ends the change after its "Change to" line. Objects come as
# VT_UNKNOWN here.
begin_case unreadable_values Appliance
scenario <<EOF
objects-as unknown
machine Appliance
bridged Old adapter
machine Appliance
bridged $target
machine Build
machine Test
fail machine#0 Name 0x80004005 no name
fail adapter#1 BridgedInterface 0x80004005 no interface
fail machine#1 SettingsFilePath 0x80004005 no path
fail machine#2 GetNetworkAdapter 0x80070057 no adapter
EOF
expect_output <<EOF
$(diagnostics_lines)
VmName: Appliance
Bridged to: (null)
Change to: $target
VmName: Build
VmName: Test
Bridged to: (null)
* skip
EOF
expect_journal <<EOF
$(diagnostics_calls)
machine#0 get Name -> 0x80004005
machine#1 get Name
machine#1 GetNetworkAdapter(0)
adapter#1 get BridgedInterface -> 0x80004005
machine#1 get SettingsFilePath -> 0x80004005
machine#2 get Name
machine#2 GetNetworkAdapter(0) -> 0x80070057
$(listed 3)
$end_line
EOF
run_case

begin_case no_machine Appliance
expect_output <<EOF
$(diagnostics_lines)
EOF
expect_journal <<EOF
$(diagnostics_calls)
$end_line
EOF
run_case

# --- the session and the diagnostics -----------------------------------------------

begin_case session_fails Appliance
scenario <<EOF
machine Appliance
bridged Old adapter
fail client Session 0x80004005 no session
EOF
expect_output <<EOF
$(diagnostics_lines)
EOF
expect_journal <<EOF
$(diagnostics_calls | sed '/^client get Session$/,$d')
client get Session -> 0x80004005
$end_line
EOF
run_case

# A VirtualBox of another interface generation still answers by name.
begin_case pinned_interface_refused Appliance
scenario <<EOF
refuse-pinned-iid
machine Appliance
bridged Old adapter
EOF
expect_output <<EOF
$(diagnostics_lines)
$(changed_lines Appliance "Old adapter")
EOF
expect_journal <<EOF
new client for IVirtualBoxClient -> refused
new client for IDispatch
$(diagnostics_calls | tail -n +2)
$(listed 0)
$(change 0 Appliance)
$end_line
EOF
expect_saved <<EOF
"Appliance": enabled=true attachment=2 bridged="$target"
EOF
run_case

# Null strings count as failures with the success code; failed reads print
# their result code; a pack whose name cannot be read is left out, a pack
# whose name is null is listed as (null).
begin_case diagnostics_failures
scenario <<EOF
home <null>
pack <null>
pack Oracle VM VirtualBox Extension Pack
pack Broken
null vbox VersionNormalized
fail sysprops DefaultAdditionsISO 0x80bb0004 no iso
null sysprops DefaultFrontend
fail pack#2 Name 0x80004005 no name
EOF
expect_output <<EOF
Error getting version! rc = 0x0
Error getting homeFolder! rc = 0x0
Error getting defaultAdditionsISO! rc = 0x80bb0004
Error getting defaultFrontend! rc = 0x0
ExtPack Name: (null)
ExtPack Name: Oracle VM VirtualBox Extension Pack
EOF
expect_journal <<EOF
$(diagnostics_calls | sed -e 's/^sysprops get DefaultAdditionsISO$/& -> 0x80bb0004/' \
  -e '/^client get Session$/i pack#0 get Name\npack#1 get Name\npack#2 get Name -> 0x80004005')
$end_line
EOF
run_case

begin_case properties_and_packs_fail
scenario <<EOF
fail vbox SystemProperties 0x80004005 none
fail extpacks InstalledExtPacks 0x80004005 none
EOF
expect_output <<EOF
$(diagnostics_lines)
get_SystemProperties FAILED
EOF
expect_journal <<EOF
$(diagnostics_calls | sed -e '/^sysprops/d' \
  -e 's/^vbox get SystemProperties$/& -> 0x80004005/; s/^extpacks get InstalledExtPacks$/& -> 0x80004005/')
$end_line
EOF
run_case

begin_case virtualbox_fails Appliance
scenario <<EOF
fail client VirtualBox 0x80070005 access denied
EOF
expect_output <<EOF
Error creating VirtualBox instance! rc = 0x80070005
EOF
expect_journal <<EOF
new client for IVirtualBoxClient
client get VirtualBox -> 0x80070005
$end_line
EOF
run_case

[ $failed -eq 0 ] && echo "all cases passed"
exit $failed
