#!/usr/bin/env bash
# Installs the Debian packages that building and testing the kit need.
# Idempotent: does nothing when everything is already there.
set -euo pipefail

packages=(
  cmake make
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  wine64
  nsis
  googletest
  # the emulated guest that runs the 32-bit builds
  qemu-system-x86 qemu-utils debootstrap e2fsprogs
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages: ${missing[*]}; run this script as root" >&2
  exit 1
fi

# wine32 would make /usr/bin/wine pick the 32-bit loader, which cannot run here.
export DEBIAN_FRONTEND=noninteractive
echo "setup: installing ${missing[*]}"
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
if dpkg-query -W -f='${Status}' wine32 2>/dev/null | grep -q "install ok installed"; then
  echo "setup: wine32 is installed; it cannot run here and shadows wine64" >&2
fi
