#!/usr/bin/env bash
# The main job, end to end: builds the installer and the packer, packs a small
# sample application into an installer, runs it under Wine as a normal user and
# prints what it did.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup-debian.sh
bash scripts/build.sh

source scripts/wine-env.sh
zv_wine_up build/demo-wineprefix
trap zv_wine_down EXIT

work=$root/build/demo
rm -rf "$work"
mkdir -p "$work/app/locales"
printf 'Zevrino sample application\r\n' > "$work/app/README.txt"
cp build/windows/tests/e2e/windows/zevrino_standin.exe "$work/app/Zevrino.exe"
for l in de fr ja; do printf 'catalog %s\n' "$l" > "$work/app/locales/$l.pak"; done

installer=$work/ZevrinoSetup.exe
build/host/pack_installer pack \
  --stub build/windows/installer_stub.exe --app-dir "$work/app" --output "$installer"
build/host/pack_installer list "$installer"

target_win='C:\zevrino-demo'
target_unix=$WINEPREFIX/drive_c/zevrino-demo
rm -rf "$target_unix"
set +e
wine build/windows/tests/e2e/windows/run_limited.exe "$(winepath -w "$installer")" --extract "$target_win"
rc=$?
set -e
echo
echo "installer exit code: $rc"
echo "extracted into $target_win ($target_unix):"
(cd "$target_unix" 2>/dev/null && find . -type f | sort | sed 's/^/  /')
exit $rc
