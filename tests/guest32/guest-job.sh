#!/bin/sh
# Runs inside the 32-bit guest (as job.sh, by /bin/sh) with everything the stage
# needs in the job folder. It only runs programs and collects what they leave
# in results/: NAME.out, NAME.err and NAME.rc per run; the host judges.
# One wineserver lives for the whole job: the service needs it across commands,
# and every program starts faster with it.
res=/mnt/job/results
rm -rf "$res"
mkdir -p "$res"
. /mnt/job/job.env
# Programs run from the guest's own disk: pages that Wine maps from the 9p
# share can read as zeros.
job=/root/job
mkdir -p "$job"
cp -r /mnt/job/dist /mnt/job/unit /mnt/job/sim /mnt/job/installers "$job/"
export WINE=wine
# File names in UTF-8, as on the build machines.
export LANG=C.UTF-8

# run NAME SECONDS COMMAND...: output and exit status of one bounded run.
run() {
  name=$1 limit=$2
  shift 2
  echo "job: $name (at $(cut -d' ' -f1 /proc/uptime) s)"
  timeout -k 10 "$limit" "$@" >"$res/$name.out" 2>"$res/$name.err"
  echo $? >"$res/$name.rc"
}

# poll SECONDS COMMAND...: until COMMAND succeeds, every half second.
poll() {
  n=$(($1 * 2))
  shift
  while [ $n -gt 0 ]; do
    "$@" && return 0
    sleep 0.5
    n=$((n - 1))
  done
  return 1
}

# The host adapter that bridgefix must find: the guest's one network adapter.
for i in /sys/class/net/*; do ip link set "$(basename "$i")" up; done
adapter_up() { grep -qx up /sys/class/net/*/operstate; }
poll 20 adapter_up || echo "job: no adapter came up"

wineserver -p
run wine_start 300 wine cmd /c ver

# --- the 32-bit unit-test programs ----------------------------------------------
# The shipped bridgefix is where the test tree put its own copy.
mkdir -p "$(dirname "$TREE_BRIDGEFIX")"
ln -sf "$job/dist/x86/bridgefix.exe" "$TREE_BRIDGEFIX"
for program in "$job"/unit/*.exe; do
  run "unit_$(basename "$program" .exe)" 600 wine "$program"
done

# --- bridgefix against the simulated VirtualBox ---------------------------------
run bridgefix_e2e 600 bash "$job/sim/bridgefix_e2e.sh" \
  "$job/dist/x86/bridgefix.exe" "$job/sim/vbox_sim.dll" "$job/sim/first_adapter.exe"

# --- vmservice through the service control manager ------------------------------
service=VmKestal-svc
drive_c=$WINEPREFIX/drive_c
key='HKLM\Software\Kestal\crm-ks-installer'
mkdir -p "$drive_c/Program Files/Kestal Test" "$drive_c/markers"
cp "$job/dist/x86/vmservice.exe" "$drive_c/Program Files/Kestal Test/"
state() { wine sc query "$service" 2>/dev/null | tr -d '\r' | awk '/STATE/ { print $3 }'; }
in_state() { [ "$(state)" = "$1" ]; }
exists() { [ -f "$1" ]; }

run service_install 120 wine 'C:\Program Files\Kestal Test\vmservice.exe' install
run service_reg_start 60 wine reg add "$key" /v ServiceStart /t REG_SZ \
  /d 'cmd /c echo started> C:\markers\start.txt' /f
run service_reg_stop 60 wine reg add "$key" /v ServiceStop /t REG_SZ \
  /d 'cmd /c echo stopped> C:\markers\stop.txt' /f
run service_net_start 120 wine net start "$service"
poll 120 in_state 4 && echo running >"$res/service_running"
poll 60 exists "$drive_c/markers/start.txt"
run service_net_stop 120 wine net stop "$service"
poll 120 in_state 1 && echo stopped >"$res/service_stopped"
poll 60 exists "$drive_c/markers/stop.txt"
mkdir -p "$res/service_markers" "$res/service_logs"
cp "$drive_c/markers/"* "$res/service_markers/" 2>/dev/null
cp "$drive_c/ProgramData/Kestal/VmKestal/1.0/log/"* "$res/service_logs/" 2>/dev/null

# --- the SysFacts installers ----------------------------------------------------
for target in x86-ansi x86-unicode; do
  dir=$drive_c/installer-$target
  mkdir -p "$dir"
  cp "$job/installers/sysfacts-answers-$target.exe" "$dir/setup.exe"
  run "installer_$target" 300 wine "C:\\installer-$target\\setup.exe" /S
  cp "$dir/answers.txt" "$res/answers-$target.txt" 2>/dev/null
done

wineserver -k
wineserver -w
echo "job: done (at $(cut -d' ' -f1 /proc/uptime) s)"
