#!/usr/bin/env bash
# The main job, end to end: builds the installer and the packer, packs a small
# sample application into an installer, installs it under Wine as a normal
# user (the progress window shows on a virtual display) and prints what the
# installation did: the files, the uninstall entry, the shortcuts and the
# started application's command line. Ends with the installer's exit code.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup-debian.sh
bash scripts/build.sh

source scripts/wine-env.sh
zv_wine_up build/demo-wineprefix
trap zv_wine_down EXIT
# Shortcuts stay in the prefix: no copies in the Linux user's menus.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

user=$(wine cmd /c 'echo %USERNAME%' 2>/dev/null | tr -d '\r')
profile=$WINEPREFIX/drive_c/users/$user
# Wine links the Desktop to the Linux home folder; the demo keeps its
# shortcuts inside its own prefix.
if [ -L "$profile/Desktop" ]; then rm "$profile/Desktop" && mkdir "$profile/Desktop"; fi

# Start from a machine without Zevrino, so that no question is asked.
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zevrino'
target_unix=$profile/AppData/Roaming/Zevrino
wine taskkill /F /IM Zevrino.exe >/dev/null 2>&1 || true
wine reg delete "$uninstall_key" /f >/dev/null 2>&1 || true
desktop_link=$profile/Desktop/Zevrino.lnk
start_link="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Zevrino.lnk"
rm -rf "$target_unix" "$desktop_link" "$start_link"

# The sample application: a stand-in for Zevrino.exe (it notes how it was
# started in Zevrino.exe.log) and a few real files.
work=$root/build/demo
rm -rf "$work"
mkdir -p "$work/app/locales" "$work/app/resources"
cp build/windows/tests/e2e/windows/zevrino_standin.exe "$work/app/Zevrino.exe"
printf 'Zevrino sample application\r\n' > "$work/app/README.txt"
for l in de fr ja; do printf 'catalog %s\n' "$l" > "$work/app/locales/$l.pak"; done
head -c 2000000 /dev/urandom > "$work/app/resources/app.bin"

installer=$work/ZevrinoSetup.exe
build/host/pack_installer pack \
  --stub build/windows/installer_stub.exe --app-dir "$work/app" --output "$installer"
build/host/pack_installer list "$installer"

echo
echo "installing as a normal user (display $DISPLAY)..."
set +e
wine build/windows/tests/e2e/windows/run_limited.exe "$(winepath -w "$installer")" \
  --log-file "$(winepath -w "$work/install.log")"
rc=$?
set -e

echo
echo "== installer log"
sed 's/^/  /' "$work/install.log" 2>/dev/null || true
echo "== files in $(winepath -w "$target_unix" 2>/dev/null) ($target_unix):"
(cd "$target_unix" 2>/dev/null && find . -type f | sort | sed 's/^/  /') || echo "  (none)"
echo "== uninstall entry:"
wine reg query "$uninstall_key" 2>/dev/null | tr -d '\r' | sed '/^$/d; s/^/  /' || echo "  (none)"
echo "== shortcuts:"
for link in "$desktop_link" "$start_link"; do
  if [ -f "$link" ]; then echo "  $link"; else echo "  missing: $link"; fi
done
echo "== started application (command line, then working directory):"
for _ in $(seq 1 100); do [ -s "$target_unix/Zevrino.exe.log" ] && break; sleep 0.1; done
if [ -s "$target_unix/Zevrino.exe.log" ]; then
  tr -d '\r' < "$target_unix/Zevrino.exe.log" | tr '\t' '\n' | sed 's/^/  /'
else
  echo "  (not started)"
fi
echo
echo "installer exit code: $rc"
exit $rc
