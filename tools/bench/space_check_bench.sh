#!/usr/bin/env bash
# What the free-space check adds to a fresh install of the 300 MB benchmark
# tree: the same payload behind two stubs, one as built and one built with
# the check taken out, each run as a whole process extracting into a fresh
# folder of the prefix, alternating run by run so that a shared machine's
# load falls on both alike. Prints the median wall time of each and their
# difference.
#
#   tools/bench/space_check_bench.sh STUB_WITHOUT_CHECK [runs]   (default 9)
#
# The payload is install_peer_bench.sh's (cached in
# ${ZV_BENCH_CACHE:-~/.cache/zevrino-bench}/peer; run that script with 0
# runs first); the stub with the check is ZV_WINDOWS_BUILD_DIR's (default
# build/windows).
set -euo pipefail
without_stub=$(realpath "$1")
runs=${2:-9}
root=$(cd "$(dirname "$0")/../.." && pwd)
with_stub=${ZV_WINDOWS_BUILD_DIR:-$root/build/windows}/installer_stub.exe
payload=${ZV_BENCH_CACHE:-$HOME/.cache/zevrino-bench}/peer/payload
[ -f "$payload" ] || { echo "missing $payload: run install_peer_bench.sh 0 first" >&2; exit 2; }

work=$(mktemp -d "$root/build/windows/space-check-bench.XXXXXX")
trap 'zv_wine_down 2>/dev/null || true; rm -rf "$work"' EXIT
cat "$with_stub" "$payload" >"$work/with.exe"
cat "$without_stub" "$payload" >"$work/without.exe"
source "$root/scripts/wine-env.sh"
zv_wine_up "$root/build/windows/wineprefix-bench"
target=$WINEPREFIX/drive_c/zv-space-bench

median_of() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
declare -A times
for run in $(seq "$runs"); do
  for kind in with without; do
    rm -rf "$target"
    sync
    start=$(date +%s.%N)
    wine "$work/$kind.exe" --extract 'C:\zv-space-bench' >/dev/null || { echo "$kind failed" >&2; exit 1; }
    end=$(date +%s.%N)
    seconds=$(echo "$end - $start" | bc)
    times[$kind]+="$seconds"$'\n'
    echo "run $run $kind: $seconds s"
  done
done
with=$(printf '%s' "${times[with]}" | median_of)
without=$(printf '%s' "${times[without]}" | median_of)
awk -v a="$with" -v b="$without" 'BEGIN {
  printf "median with the check %.3f s, without %.3f s: the check adds %+.1f ms\n", a, b, (a - b) * 1000
}'
rm -rf "$target"
