# Sourced by the scripts: a private Wine prefix reporting Windows 10, a
# persistent wineserver, and a virtual display for windows and dialogs.
#   zv_wine_up PREFIX    zv_wine_down
zv_wine_up() {
  export WINEPREFIX=$(realpath -m "$1")
  export WINEDEBUG=-all
  # No Mono/Gecko install prompts; no menu entries or desktop files in $HOME
  # for the shortcuts that installs create (winemenubuilder).
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  # A new Wine 8 prefix does not report Windows 10; the installer needs it.
  wine reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1
  wineserver -p 2>/dev/null || true  # exits 2 when a server already runs
  if [ -z "${DISPLAY:-}" ]; then
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    ZV_XVFB_PID=$!
    export DISPLAY=":$n"
    sleep 1
  fi
}

zv_wine_down() {
  wineserver -k 2>/dev/null || true
  if [ -n "${ZV_XVFB_PID:-}" ]; then
    kill "$ZV_XVFB_PID" 2>/dev/null || true
    unset ZV_XVFB_PID
  fi
}
