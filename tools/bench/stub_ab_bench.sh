#!/usr/bin/env bash
# The 300 MB benchmark tree behind two stubs, the one as built and another
# (an older build, or one built with a check taken out), each run as a whole
# process: an extract into a fresh folder, then a silent normal install
# through run_limited.exe into a fresh %APPDATA%\Zevrino and once more over
# the installation it left. The stubs alternate run by run so that a shared
# machine's load falls on both alike. Prints the median wall time of each
# kind and stub and their difference.
#
#   tools/bench/stub_ab_bench.sh OTHER_STUB [runs]   (default 7)
#
# The payload is install_peer_bench.sh's (cached in
# ${ZV_BENCH_CACHE:-~/.cache/zevrino-bench}/peer; run that script with 0
# runs first); the stub as built and run_limited.exe are those of
# ZV_WINDOWS_BUILD_DIR (default build/windows).
set -euo pipefail
other_stub=$(realpath "$1")
runs=${2:-7}
root=$(cd "$(dirname "$0")/../.." && pwd)
win_build=${ZV_WINDOWS_BUILD_DIR:-$root/build/windows}
payload=${ZV_BENCH_CACHE:-$HOME/.cache/zevrino-bench}/peer/payload
[ -f "$payload" ] || { echo "missing $payload: run install_peer_bench.sh 0 first" >&2; exit 2; }

work=$(mktemp -d "$root/build/windows/stub-ab-bench.XXXXXX")
trap 'zv_wine_down 2>/dev/null || true; rm -rf "$work"' EXIT
cat "$win_build/installer_stub.exe" "$payload" >"$work/built.exe"
cat "$other_stub" "$payload" >"$work/other.exe"
source "$root/scripts/wine-env.sh"
zv_wine_up "$root/build/windows/wineprefix-bench"
user=$(wine cmd /c 'echo %USERNAME%' 2>/dev/null | tr -d '\r')
target=$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Zevrino
extracted=$WINEPREFIX/drive_c/zv-ab-bench

median_of() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
declare -A times
timed() {  # KEY COMMAND...
  local key=$1 start end
  shift
  sync
  start=$(date +%s.%N)
  wine "$@" >/dev/null || { echo "$key failed" >&2; exit 1; }
  end=$(date +%s.%N)
  local seconds
  seconds=$(echo "$end - $start" | bc)
  times[$key]+="$seconds"$'\n'
  echo "$key: $seconds s"
}
limited=$win_build/tests/e2e/windows/run_limited.exe
for run in $(seq "$runs"); do
  for stub in built other; do
    rm -rf "$target" "$extracted"
    timed "$stub extract" "$work/$stub.exe" --extract 'C:\zv-ab-bench'
    timed "$stub fresh" "$limited" "$work/$stub.exe" --silent --skip-app-launch
    timed "$stub over" "$limited" "$work/$stub.exe" --silent --skip-app-launch
  done
done
for kind in extract fresh over; do
  a=$(printf '%s' "${times[built $kind]}" | median_of)
  b=$(printf '%s' "${times[other $kind]}" | median_of)
  awk -v k="$kind" -v a="$a" -v b="$b" 'BEGIN {
    printf "%s: median as built %.3f s, other %.3f s: %+.1f ms\n", k, a, b, (a - b) * 1000
  }'
done
rm -rf "$target" "$extracted"
