# Sourced by the scripts that run programs under 64-bit Wine.
# Usage: . wine-env.sh PREFIX
export WINEPREFIX="$1"
export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver
export WINEDEBUG="${WINEDEBUG:--all}"
# No Gecko/Mono prompts, and no menu entries or file associations in $HOME.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
export WINEARCH=win64
export WINE=/usr/lib/wine/wine64

# Ends the prefix's server and waits until it has gone.
wine_stop_server() {
  "$WINESERVER" -k 2>/dev/null
  "$WINESERVER" -w 2>/dev/null
  return 0
}
