#!/usr/bin/env bash
# Builds, once, the emulated x86_64 Debian guest with 32-bit Wine in which the
# shipped 32-bit programs are run: root filesystem, kernel, disk image, and the
# 32-bit Wine prefix made at first boot. Reused when present and current.
#   KIT_GUEST_CACHE  where the image lives (default /var/cache/vmkit-guest)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=${KIT_GUEST_CACHE:-/var/cache/vmkit-guest}
stamp=$(cat "$here/build-image.sh" "$here/guest-init.sh" | sha1sum | cut -c1-12)

if [ -f "$cache/ready" ] && [ "$(cat "$cache/ready")" = "$stamp" ]; then
  exit 0
fi
for tool in debootstrap qemu-system-x86_64 mkfs.ext4; do
  command -v "$tool" >/dev/null || { echo "guest: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

# The guest's packages come from the same Debian mirror as the host's.
mirror=$(awk '/^URIs:/ && $2 ~ /debian\/?$/ {print $2; exit}' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" && $3 ~ /^bookworm$/ {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
[ -n "$mirror" ] || { echo "guest: no Debian mirror found in the host's apt sources" >&2; exit 1; }

mkdir -p "$cache"
rm -f "$cache/ready"
rootfs=$cache/rootfs
log=$cache/build.log
: > "$log"
echo "guest: building the image in $cache (about 15 minutes; log: $log)"

cleanup_mounts() {
  for m in dev/pts dev proc sys; do umount -l "$rootfs/$m" 2>/dev/null || true; done
}
trap cleanup_mounts EXIT

if [ ! -f "$rootfs/.packages-done" ]; then
  rm -rf "$rootfs"
  echo "guest: debootstrap"
  debootstrap --variant=minbase --arch=amd64 \
    --include=systemd-sysv,udev,kmod,iproute2,ca-certificates,procps \
    bookworm "$rootfs" "$mirror" >>"$log" 2>&1
  mount -t proc proc "$rootfs/proc"
  mount -t sysfs sys "$rootfs/sys"
  mount --bind /dev "$rootfs/dev"
  mount --bind /dev/pts "$rootfs/dev/pts"
  echo "guest: 32-bit Wine and a kernel"
  chroot "$rootfs" /bin/sh -c "
    export DEBIAN_FRONTEND=noninteractive
    dpkg --add-architecture i386 &&
    apt-get update -qq &&
    apt-get install -y -qq --no-install-recommends linux-image-amd64 wine wine64 wine32:i386 libwine:i386
  " >>"$log" 2>&1 || {
    # libglib2.0-0:i386's post-install cannot run in this chroot; harmless.
    chroot "$rootfs" /bin/sh -c "dpkg --configure -a" >>"$log" 2>&1 || true
  }
  chroot "$rootfs" /bin/sh -c "command -v wine && ls /usr/lib/wine/wine" >>"$log" 2>&1 ||
    { echo "guest: 32-bit Wine did not install (see $log)" >&2; exit 1; }
  chroot "$rootfs" apt-get clean >>"$log" 2>&1
  cleanup_mounts
  touch "$rootfs/.packages-done"
fi

install -m 755 "$here/guest-init.sh" "$rootfs/sbin/kit-init"
cp "$(ls "$rootfs"/boot/vmlinuz-* | sort | tail -1)" "$cache/vmlinuz"
cp "$(ls "$rootfs"/boot/initrd.img-* | sort | tail -1)" "$cache/initrd.img"

echo "guest: disk image"
rm -f "$cache/disk.img"
truncate -s 6G "$cache/disk.img"
mkfs.ext4 -q -F -d "$rootfs" "$cache/disk.img" >>"$log" 2>&1

echo "guest: first boot, making the 32-bit Wine prefix (about 6 minutes)"
first=$(mktemp -d)
"$here/boot.sh" "$cache" "$first" 1500 persistent >>"$log" 2>&1 || true
if ! grep -q "prefix ready" "$first/prefix.log" 2>/dev/null; then
  echo "guest: the first boot did not make the Wine prefix (see $log)" >&2
  rm -rf "$first"
  exit 1
fi
rm -rf "$first"
echo "$stamp" > "$cache/ready"
echo "guest: image ready"
