#!/usr/bin/env bash
# Boots the guest once with JOBDIR shared as the job folder, and waits until it
# powers itself off or TIMEOUT seconds pass.
# Usage: boot.sh CACHE JOBDIR TIMEOUT [persistent]
# Without "persistent" the disk is used as a snapshot: nothing a job does stays.
# The guest has one network adapter, isolated (restrict=on): jobs may bring it
# up so that the host has a working adapter, but nothing leaves the guest.
set -u
cache=$1 job=$2 limit=$3 mode=${4:-snapshot}
snapshot=-snapshot
[ "$mode" = persistent ] && snapshot=
timeout --kill-after=10 "$limit" qemu-system-x86_64 \
  -machine q35 -accel tcg,thread=multi -cpu max,-smap -smp 2 -m 2048 \
  -nographic -no-reboot -monitor none -serial stdio $snapshot \
  -nic user,model=virtio-net-pci,restrict=on \
  -kernel "$cache/vmlinuz" -initrd "$cache/initrd.img" \
  -append "root=/dev/vda rw console=ttyS0 init=/sbin/kit-init quiet cryptomgr.notests" \
  -drive file="$cache/disk.img",format=raw,if=virtio \
  -virtfs local,path="$job",mount_tag=job,security_model=none,id=job </dev/null
rc=$?
[ $rc -eq 124 ] && echo "guest: no power-off within $limit s" >&2
exit $rc
