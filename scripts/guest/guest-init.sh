#!/bin/sh
# PID 1 of the 32-bit test guest. Prepares the system, makes the 32-bit Wine
# prefix on the first boot, runs the job in the shared folder, powers off.
PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
export PATH
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev 2>/dev/null
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
hostname kitguest
ip link set lo up

modprobe 9pnet_virtio 2>/dev/null
mkdir -p /mnt/job
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 job /mnt/job || echo "kit-init: no job folder"

export HOME=/root USER=root WINEARCH=win32 WINEPREFIX=/root/prefix32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.kit-ready" ]; then
  echo "kit-init: creating the 32-bit Wine prefix"
  rm -rf "$WINEPREFIX"
  wine wineboot --init >/dev/null 2>&1
  wineserver -w
  [ -f "$WINEPREFIX/system.reg" ] && touch "$WINEPREFIX/.kit-ready"
  echo "kit-init: prefix ready: $(ls "$WINEPREFIX" | tr '\n' ' ')" > /mnt/job/prefix.log 2>/dev/null
fi

if [ -f /mnt/job/job.sh ]; then
  cd /mnt/job
  sh /mnt/job/job.sh > /mnt/job/job.log 2>&1
  echo $? > /mnt/job/job.rc
fi
sync
umount /mnt/job 2>/dev/null
echo o > /proc/sysrq-trigger
sleep 60
