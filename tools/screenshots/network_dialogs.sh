#!/usr/bin/env bash
# Pictures of the error dialogs of what the network asks of the user (codes
# 58 to 61) in the languages given, for a person to look at: text not cut
# off, the right buttons, Arabic mirrored.
#
#   tools/screenshots/network_dialogs.sh [OUTPUT_DIR] [LOCALE...]
#
# OUTPUT_DIR defaults to build/host/e2e/screenshots/network, the locales to
# en_US de_DE ar_SA ja_JP. Needs the Windows tree (scripts/build.sh) and
# ImageMagick's `import`; Japanese needs fonts-wqy-microhei. Each dialog is
# shown by ui_driver.exe in a prefix of its own below the output folder,
# read and answered by dialog_robot.exe (Cancel, which for the OK-only 61
# opens no browser): nothing waits a fixed time.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=$(realpath -m "${1:-build/host/e2e/screenshots/network}")
shift || true
locales=("$@")
[ ${#locales[@]} -gt 0 ] || locales=(en_US de_DE ar_SA ja_JP)
bin=$(realpath build/windows/tests/e2e/windows)
for program in ui_driver.exe dialog_robot.exe; do
  [ -f "$bin/$program" ] || { echo "missing $bin/$program: run scripts/build.sh" >&2; exit 1; }
done
command -v import >/dev/null || { echo "ImageMagick's import is missing" >&2; exit 1; }
mkdir -p "$out"

source scripts/wine-env.sh
zv_wine_up "$out/wineprefix"
trap zv_wine_down EXIT
# Unmanaged windows: without a window manager Wine otherwise waits 2 s for
# every window it hides.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

for locale in "${locales[@]}"; do
  for code in 58 59 60 61; do
    LC_ALL="$locale.UTF-8" LANG="$locale.UTF-8" wine "$bin/ui_driver.exe" window error "$code" \
      >"$out/$locale-$code.driver.txt" 2>/dev/null &
    driver=$!
    # One round trip to the dialog: it has painted when its answer comes.
    wine "$bin/dialog_robot.exe" wait '#32770' send 0 0 >"$out/$locale-$code.txt"
    import -window root -trim +repage "$out/$locale-$code.png"
    wine "$bin/dialog_robot.exe" wait '#32770' press 2 >/dev/null
    wait "$driver"
    echo "$out/$locale-$code.png"
  done
done
