#!/usr/bin/env bash
# vmservice through Wine's real service control manager: installation from a
# folder whose path holds a space, the registered configuration, a start and
# a stop with and without the installer's commands, the log file, and a
# console run without arguments.
# Usage (through run-in-prefix.sh): service_e2e.sh VMSERVICE_EXE SERVICE_CONFIG_EXE
set -u
. "$(dirname "$0")/../wine/wine-env.sh" "$WINEPREFIX"
vmservice_exe=$1 config_exe=$2

service=VmKestal-svc
drive_c=$WINEPREFIX/drive_c
install_dir="$drive_c/Program Files/Kestal Test"
win_exe='C:\Program Files\Kestal Test\vmservice.exe'
log_dir=$drive_c/ProgramData/Kestal/VmKestal/1.0/log
markers=$drive_c/markers
key='HKLM\Software\Kestal\crm-ks-installer'
work=$WINEPREFIX/e2e
mkdir -p "$work" "$markers" "$install_dir"
cp "$vmservice_exe" "$install_dir/vmservice.exe"
cp "$config_exe" "$work/service_config.exe"

failures=0
pass() { echo "ok   $*"; }
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# check_bytes WHAT FILE EXPECTED: the file holds exactly EXPECTED (printf text).
check_bytes() {
  local expected actual
  expected=$(printf "$3" | od -An -c)
  actual=$(od -An -c <"$2")
  if [ "$expected" == "$actual" ]; then
    pass "$1"
  else
    fail "$1: expected"; echo "$expected"; echo "     got"; echo "$actual"
  fi
}

# check_equal WHAT EXPECTED ACTUAL
check_equal() {
  if [ "$2" == "$3" ]; then pass "$1"; else fail "$1: expected '$2', got '$3'"; fi
}

service_state() {
  "$WINE" sc query "$service" 2>/dev/null | tr -d '\r' | awk '/STATE/ { print $3 }'
}

# wait_state NUMBER: polls the service manager for up to 30 s (4 running,
# 1 stopped); net start and net stop return before the state is reached.
wait_state() {
  local i
  for i in $(seq 150); do
    [ "$(service_state)" == "$1" ] && return 0
    sleep 0.2
  done
  return 1
}

# wait_file PATH: up to 10 s.
wait_file() {
  local i
  for i in $(seq 50); do
    [ -f "$1" ] && return 0
    sleep 0.2
  done
  return 1
}

newest_log() {
  ls -1t "$log_dir"/*.log 2>/dev/null | head -n 1
}

stop_service() {
  "$WINE" net stop "$service" >/dev/null 2>&1
  wait_state 1
}

cleanup() {
  [ "$(service_state)" == "4" ] && stop_service
}
trap cleanup EXIT

# --- installation -----------------------------------------------------------
"$WINE" "$win_exe" install >"$work/install.out" 2>"$work/install.err"
check_equal "install exits with 0" 0 $?
check_bytes "install prints its success" "$work/install.out" 'Service installed successfully\r\n'

"$WINE" "$work/service_config.exe" "$service" >"$work/config.out" 2>&1
check_bytes "registered configuration, path in quotes" "$work/config.out" \
'type=0x10\r\nstart=3\r\nerror=1\r\naccount=LocalSystem\r\npath="C:\\Program Files\\Kestal Test\\vmservice.exe"\r\ndisplay=VmKestal-svc\r\n'

"$WINE" "$win_exe" Install >"$work/install2.out" 2>/dev/null
check_equal "second install exits with 0" 0 $?
check_bytes "second install is refused" "$work/install2.out" 'CreateService failed (1073)\r\n'

# --- start and stop with the installer's commands ---------------------------
"$WINE" reg add "$key" /v ServiceStart /t REG_SZ /d 'cmd /c echo started> C:\markers\start.txt' /f /reg:64 >/dev/null 2>&1
"$WINE" reg add "$key" /v ServiceStop /t REG_SZ /d 'cmd /c echo stopped> C:\markers\stop.txt' /f /reg:64 >/dev/null 2>&1

"$WINE" net start "$service" >/dev/null 2>&1
if wait_state 4; then pass "service runs"; else fail "service never reported running"; fi

logs=$(ls -1 "$log_dir" 2>/dev/null)
if [[ $logs =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{2}-[0-9]{2}-[0-9]{2}_svc\.log$ ]]; then
  pass "one log file named after the start time: $logs"
else
  fail "log folder holds '$logs'"
fi
log=$(newest_log)
started='ServiceStarted in C:\\Program Files\\Kestal Test\\vmservice.exe\r\n'
start_line='ServiceStart=cmd /c echo started> C:\\markers\\start.txt\r\n'
stop_line='ServiceStop=cmd /c echo stopped> C:\\markers\\stop.txt\r\n'
check_bytes "log of the running service" "$log" "$started$start_line"
if wait_file "$markers/start.txt"; then pass "start command ran"; else fail "no start marker"; fi
[ -f "$markers/stop.txt" ] && fail "stop marker before the stop"

"$WINE" net stop "$service" >/dev/null 2>&1
if wait_state 1; then
  pass "service stops"
  if [ -f "$markers/stop.txt" ]; then
    pass "stop command ran before the stopped report"
  elif wait_file "$markers/stop.txt"; then
    pass "stop command ran (its marker came after the stopped report was seen)"
  else
    fail "no stop marker"
  fi
else
  fail "service never reported stopped"
fi
check_bytes "log after the stop" "$log" "$started${start_line}STOP\r\n$stop_line"

# --- start and stop without the installer's values --------------------------
"$WINE" reg delete "$key" /v ServiceStart /f /reg:64 >/dev/null 2>&1
"$WINE" reg delete "$key" /v ServiceStop /f /reg:64 >/dev/null 2>&1
sleep 1.1 # a start in a new second writes a file of its own
"$WINE" net start "$service" >/dev/null 2>&1
if wait_state 4; then pass "service runs without commands"; else fail "no running without commands"; fi
"$WINE" net stop "$service" >/dev/null 2>&1
if wait_state 1; then pass "service stops without commands"; else fail "no stop without commands"; fi
log2=$(newest_log)
if [ "$log2" != "$log" ]; then pass "second start has its own log"; else fail "second start reused $log"; fi
check_bytes "log without commands ends at the equals signs" "$log2" "${started}ServiceStart=\r\nSTOP\r\nServiceStop=\r\n"

# The stopped process has gone: the service can be deleted and registered anew
# (a process left behind keeps it marked for deletion, 1072).
"$WINE" sc delete "$service" >/dev/null 2>&1
"$WINE" "$win_exe" install >"$work/install3.out" 2>/dev/null
check_bytes "reinstall after delete" "$work/install3.out" 'Service installed successfully\r\n'

# --- console run without arguments -------------------------------------------
# The dispatcher gives up after about 10 s; Wine shows error events on stderr.
WINEDEBUG=-all,err+eventlog "$WINE" "$win_exe" >"$work/console.out" 2>"$work/console.err"
check_equal "console run exits with 0" 0 $?
check_bytes "console run prints nothing" "$work/console.out" ''
if grep -q "StartServiceCtrlDispatcher failed with 1063" "$work/console.err"; then
  pass "console run reports the dispatcher failure as an event"
else
  fail "no dispatcher event; stderr:"; cat "$work/console.err"
fi

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
