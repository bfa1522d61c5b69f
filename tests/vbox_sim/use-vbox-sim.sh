# Sourced in a Wine prefix's environment (wine-env.sh): puts the simulated
# VirtualBox in place of the real one.
#   use_vbox_sim DLL DIR   registers DLL under the VirtualBoxClient class and
#                          has it read DIR/scenario, and write DIR/journal (its
#                          calls) and DIR/saved (the adapters it saved).

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

use_vbox_sim() {
  local dll=$1 dir=$2
  local key='HKCR\CLSID\{DD3FC71D-26C0-4FE1-BF6F-67F633265BBA}\InprocServer32'
  export VBOX_SIM_SCENARIO=$(windows_path "$dir/scenario")
  export VBOX_SIM_JOURNAL=$(windows_path "$dir/journal")
  export VBOX_SIM_SAVED=$(windows_path "$dir/saved")
  "$WINE" reg add "$key" /ve /d "$(windows_path "$dll")" /f >/dev/null &&
    "$WINE" reg add "$key" /v ThreadingModel /d Apartment /f >/dev/null
}
