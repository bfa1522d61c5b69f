#!/usr/bin/env bash
# The 32-bit stage: the shipped 32-bit programs and plug-ins, and the test
# programs built for i686, run inside the emulated guest with 32-bit Wine (one
# boot for everything), then judged here, one PASS or FAIL line per check.
# Usage: guest32_stage.sh SOURCE_DIR DIST_DIR WORK_DIR
#   WORK_DIR gets the i686 test tree (tree/), the installers and the job folder.
# Exits 77 (skipped) when this host cannot run the guest.
set -u
root=$(cd "$1" && pwd) dist=$(cd "$2" && pwd) work=$(mkdir -p "$3" && cd "$3" && pwd)
here=$root/tests/guest32
cache=${KIT_GUEST_CACHE:-/var/cache/vmkit-guest}
tree=$work/tree
job=$work/job
res=$job/results
skip() { echo "guest32: SKIPPED: $*"; exit 77; }
started=$SECONDS
elapsed() { echo "$((SECONDS - started)) s"; }

# --- can this host run the guest? --------------------------------------------------
for tool in qemu-system-x86_64 debootstrap mkfs.ext4 makensis timeout; do
  command -v "$tool" >/dev/null || skip "$tool is missing (scripts/setup.sh installs it)"
done
free_gb() { # free space in GB on the file system that holds $1 (or would)
  local d=$1
  while [ ! -d "$d" ]; do d=$(dirname "$d"); done
  df -Pk "$d" | awk 'NR == 2 { print int($4 / 1048576) }'
}
if [ ! -f "$cache/ready" ]; then
  [ "$(id -u)" -eq 0 ] || skip "no guest image in $cache, and building one needs root"
  [ "$(free_gb "$cache")" -ge 10 ] ||
    skip "less than 10 GB free for building the guest image in $cache (KIT_GUEST_CACHE moves it)"
  probe=$(mktemp -d)
  mount -t tmpfs none "$probe" 2>/dev/null && umount "$probe" ||
    { rmdir "$probe"; skip "this host cannot mount file systems, which building the guest image needs"; }
  rmdir "$probe"
fi
# The guest's writes go to a temporary overlay (qemu -snapshot).
[ "$(free_gb "${TMPDIR:-/var/tmp}")" -ge 2 ] || skip "less than 2 GB free in ${TMPDIR:-/var/tmp} for the guest's overlay"

# --- the test programs for i686 ------------------------------------------------------
# Every GoogleTest program but sysfacts_dll_test, which loads the amd64 plug-ins
# by folder: the 32-bit plug-ins are run by real installers below.
unit_tests=(common_test host_adapter_discovery_test host_adapter_discovery_wine_test service_test
  sysfacts_unicode_test sysfacts_ansi_test)
helpers=(vbox_sim first_adapter)
echo "guest32: building the 32-bit test programs in $tree"
{
  cmake -S "$root" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DKIT_TESTS=ON -DKIT_DIST_DIR="$tree/dist" &&
    cmake --build "$tree" -j "$(nproc)" --target "${unit_tests[@]}" "${helpers[@]}" -- --no-print-directory
} >"$work/build.log" 2>&1 || {
  tail -30 "$work/build.log"
  echo "guest32: FAIL: the 32-bit test programs do not build (log: $work/build.log)"
  exit 1
}

# --- the job folder ----------------------------------------------------------------
rm -rf "$job"
mkdir -p "$job/dist/x86" "$job/unit" "$job/sim" "$job/installers"
cp "$dist/x86/bridgefix.exe" "$dist/x86/vmservice.exe" "$job/dist/x86/" || {
  echo "guest32: FAIL: no 32-bit programs in $dist/x86 (run scripts/build.sh)"
  exit 1
}
for t in "${unit_tests[@]}"; do
  find "$tree/tests" -name "$t.exe" -exec cp {} "$job/unit/" \;
done
# The end-to-end script of bridgefix with the scripts it sources.
cp "$tree/tests/vbox_sim/vbox_sim.dll" "$tree/tests/vbox_sim/first_adapter.exe" "$root"/tests/vbox_sim/*.sh "$job/sim/"
for target in x86-ansi x86-unicode; do
  makensis -V2 -DTARGET=$target -DPLUGINS="$dist/Plugins/$target" \
    -DOUTFILE="$job/installers/sysfacts-answers-$target.exe" "$root/tests/wmi/installer/sysfacts_answers.nsi" \
    >"$work/makensis-$target.log" 2>&1 ||
    { cat "$work/makensis-$target.log"; echo "guest32: FAIL: makensis for $target"; exit 1; }
done
cp "$here/guest-job.sh" "$job/job.sh"
# The test tree compiled the path of its own bridgefix into a test; the guest
# puts the shipped one there.
echo "TREE_BRIDGEFIX='$tree/dist/x86/bridgefix.exe'" >"$job/job.env"
echo "guest32: job folder ready in $job ($(elapsed))"

# --- one boot ---------------------------------------------------------------------
# Both steps run in the background so that a TERM stops them with the stage.
# The boot is bounded so that the stage ends before ctest's limit (3600 s).
kill_tree() { # PID: its descendants first, by their ids
  local p
  for p in $(pgrep -P "$1"); do kill_tree "$p"; done
  kill "$1" 2>/dev/null
}
in_background() {
  "$@" &
  child=$!
  wait $child
}
trap 'echo "guest32: stopped"; kill_tree $child; exit 1' TERM INT
# Builds the image when missing or stale: about 10 to 20 minutes, once.
in_background "$root/scripts/guest/build-image.sh" || {
  echo "FAIL: no guest image (see $cache/build.log)"
  exit 1
}
limit=$((3500 - SECONDS))
[ "$limit" -le "${KIT_GUEST_JOB_TIMEOUT:-1800}" ] || limit=${KIT_GUEST_JOB_TIMEOUT:-1800}
[ "$limit" -ge 300 ] || { echo "FAIL: no time left to boot the guest"; exit 1; }
in_background "$root/scripts/guest/run-job.sh" "$job" "$limit"
job_rc=$?
trap - TERM INT
echo "guest32: guest job ended with status $job_rc ($(elapsed))"

# --- judging ------------------------------------------------------------------------
checks=0 failures=0
pass() { checks=$((checks + 1)); echo "PASS: $*"; }
fail() { checks=$((checks + 1)); failures=$((failures + 1)); echo "FAIL: $*"; }
rc_of() { cat "$res/$1.rc" 2>/dev/null || echo "none"; }
show() { [ -f "$1" ] && sed 's/\r$//; s/^/    | /' "$1" | tail -n "${2:-25}"; }
# bytes_equal FILE EXPECTED(printf text)
bytes_equal() { [ -f "$1" ] && [ "$(od -An -c <"$1")" == "$(printf "$2" | od -An -c)" ]; }

[ -f "$res/wine_start.rc" ] || {
  fail "the guest ran no job (status $job_rc); see $job/console.log and $job/job.log"
  show "$job/job.log"
  echo "guest32: $failures of $checks checks failed"
  exit 1
}

# (a) the 32-bit unit-test programs
for t in "${unit_tests[@]}"; do
  out=$res/unit_$t.out
  ran=$(grep -ao '^\[==========\] [0-9]* tests\? from .* ran' "$out" 2>/dev/null | awk '{ print $2 }')
  if [ "$(rc_of "unit_$t")" = 0 ] && grep -aq '^\[  PASSED  \]' "$out" && ! grep -aq '^\[  FAILED  \]' "$out"; then
    pass "32-bit unit tests $t ($ran tests)"
  else
    fail "32-bit unit tests $t: exit status $(rc_of "unit_$t")"
    grep -a '^\[  FAILED  \]\|Failure' "$out" | head -20 | sed 's/^/    | /'
    show "$out" 15
  fi
done

# (b) bridgefix against the simulated VirtualBox (its end-to-end cases, 32-bit)
out=$res/bridgefix_e2e.out
adapter=$(sed -n 's/^chosen adapter: //p' "$out" 2>/dev/null | tr -d '\r')
for c in repointed find_fails; do
  if grep -q "^case $c done" "$out" 2>/dev/null && ! grep -q "^FAIL: $c:" "$out"; then
    pass "bridgefix case $c: output, journal and saved settings as expected (adapter \"$adapter\")"
  else
    fail "bridgefix case $c"
    grep -A12 "^FAIL: $c:" "$out" 2>/dev/null | sed 's/^/    | /'
  fi
done
if [ "$(rc_of bridgefix_e2e)" = 0 ] && grep -q '^all cases passed' "$out" && [ -n "$adapter" ]; then
  pass "bridgefix: all $(grep -c '^case .* done' "$out") end-to-end cases"
else
  fail "bridgefix end-to-end: exit status $(rc_of bridgefix_e2e)"
  grep -A8 '^FAIL' "$out" | head -40 | sed 's/^/    | /'
  show "$res/bridgefix_e2e.err" 5
fi

# (c) vmservice through the guest's service control manager
if [ "$(rc_of service_install)" = 0 ] && bytes_equal "$res/service_install.out" 'Service installed successfully\r\n'; then
  pass "vmservice install"
else
  fail "vmservice install: exit status $(rc_of service_install)"; show "$res/service_install.out"
fi
if [ "$(rc_of service_reg_start)" = 0 ] && [ "$(rc_of service_reg_stop)" = 0 ]; then
  pass "ServiceStart and ServiceStop written in the 32-bit registry"
else
  fail "reg add of ServiceStart/ServiceStop: $(rc_of service_reg_start) $(rc_of service_reg_stop)"
fi
[ -f "$res/service_running" ] && pass "vmservice reported running" || fail "vmservice never reported running"
[ -f "$res/service_stopped" ] && pass "vmservice reported stopped" || fail "vmservice never reported stopped"
for marker in start:started stop:stopped; do
  file=$res/service_markers/${marker%%:*}.txt
  if [ -f "$file" ] && grep -q "^${marker#*:}" "$file"; then
    pass "the ${marker%%:*} command ran"
  else
    fail "no ${marker%%:*} marker"
  fi
done
logs=$(ls -1 "$res/service_logs" 2>/dev/null)
log_text='ServiceStarted in C:\\Program Files\\Kestal Test\\vmservice.exe\r\n'
log_text+='ServiceStart=cmd /c echo started> C:\\markers\\start.txt\r\nSTOP\r\n'
log_text+='ServiceStop=cmd /c echo stopped> C:\\markers\\stop.txt\r\n'
if [[ $logs =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{2}-[0-9]{2}-[0-9]{2}_svc\.log$ ]] &&
  bytes_equal "$res/service_logs/$logs" "$log_text"; then
  pass "vmservice log $logs: start, both commands and the stop"
else
  fail "vmservice log: folder holds '$logs'"
  [ -n "$logs" ] && show "$res/service_logs/$(echo "$logs" | head -1)"
fi

# (d) the SysFacts plug-ins inside real 32-bit installers
missing_namespace='Could not connect\. Error code = 0x8004100e'
answer_forms() { # NAME;STATUS;VALUE (extended regular expression of the whole value)
  cat <<EOF
OS;ok;.+
OSVersion;ok;[0-9]+(\.[0-9]+)+
FullOS;ok;.+ version : [0-9.]+( service pack : [0-9]+\.[0-9]+)?
CPU;ok;.+
Resolution;(ok|error);([0-9]+x[0-9]*|Unknown|Unable to find requested value\. Error code = 0x80041002)
UserName;ok;[^\\\\]+\\\\.+
ShortUserName;ok;[^\\\\]+
UserSID;ok;(S-1-[0-9-]+)?
AntiVirus;error;$missing_namespace
FireWall;error;$missing_namespace
SQLVersion;error;$missing_namespace
FullSQLVersion;error;$missing_namespace
Request;ok;.+
Request2;ok;.+
EOF
}
for target in x86-ansi x86-unicode; do
  answers=$res/answers-$target.txt
  if [ "$(rc_of "installer_$target")" != 0 ] || [ ! -f "$answers" ]; then
    fail "$target installer: exit status $(rc_of "installer_$target"), answers: $([ -f "$answers" ] && echo yes || echo none)"
    continue
  fi
  bad=()
  while IFS=';' read -r name status value; do
    line=$(tr -d '\r' <"$answers" | grep -m1 "^$name|")
    IFS='|' read -r _ got_status got_value below <<<"$line"
    if [ -z "$line" ] || [ "$below" != sentinel ] || ! grep -qxE "$status" <<<"$got_status" ||
      ! grep -qxE -- "$value" <<<"$got_value"; then
      bad+=("$name answered '$got_status' '$got_value' above '$below'")
    fi
  done < <(answer_forms)
  # The generic requests ask for what OS and CPU answer.
  for pair in Request:OS Request2:CPU; do
    asked=$(tr -d '\r' <"$answers" | grep -m1 "^${pair%%:*}|" | cut -d'|' -f3)
    direct=$(tr -d '\r' <"$answers" | grep -m1 "^${pair#*:}|" | cut -d'|' -f3)
    [ "$asked" = "$direct" ] || bad+=("${pair%%:*} gave '$asked', ${pair#*:} gave '$direct'")
  done
  tr -d '\r' <"$answers" | grep -qx 'stack|empty' || bad+=("entries left on the stack")
  if [ ${#bad[@]} -eq 0 ]; then
    pass "$target installer: fourteen answers of the right form, every sentinel intact"
  else
    fail "$target installer:"
    printf '    | %s\n' "${bad[@]}"
  fi
done

echo "guest32: $((checks - failures)) of $checks checks passed ($(elapsed)); results in $res"
[ "$failures" -eq 0 ]
