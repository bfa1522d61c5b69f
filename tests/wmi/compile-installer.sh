#!/usr/bin/env bash
# The 32-bit installers cannot run here: checks that the answers installer
# compiles for TARGET with the shipped plug-in of that flavour.
# Usage: compile-installer.sh SCRIPT TARGET PLUGIN_DIR WORK_DIR
set -u
script=$1 target=$2 plugins=$3 work=$4
mkdir -p "$work"
makensis -V2 -DTARGET="$target" -DPLUGINS="$plugins" -DOUTFILE="$work/sysfacts-answers-$target.exe" "$script" \
  || { echo "FAIL: makensis for $target"; exit 1; }
echo "ok: answers installer compiles for $target"
