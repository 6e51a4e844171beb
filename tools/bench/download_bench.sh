#!/usr/bin/env bash
# Download benchmark: a 300 MB file served on 127.0.0.1 by the test tree's
# loopback HTTP server, fetched to disk by curl and by the installer's
# DownloadToFile under Wine (download_bench.exe), in the same run. Prints
# MB/s of each, the ratio of the times, best round against best round and
# median against median (target: the installer at most 1.25 times curl's
# time), and the installer's working set (it should stay flat: nothing but
# the 1 MiB read buffer, whatever the size of the file). The installer's
# download is then timed once more with the connection dropped at half of
# the file (the server's /drop route), which the download resumes with a
# range request, against the same rounds without the drop.
#
#   tools/bench/download_bench.sh [size MB] [rounds]     default 300 MB, 3 rounds
#
# Needs build/windows (download_bench.exe); installs curl when missing.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
size_mb=${1:-300}
rounds=${2:-3}
bench=$root/build/windows/tools/bench/download_bench.exe
[ -f "$bench" ] || { echo "missing $bench: build the Windows tree first" >&2; exit 1; }
if ! command -v curl >/dev/null; then
  apt-get install -y curl >/dev/null
fi

work=$(mktemp -d "$root/build/windows/download-bench.XXXXXX")
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  zv_wine_down 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# An executable-looking file ("MZ" first) of incompressible bytes.
mkdir -p "$work/served"
{ printf 'MZ'; head -c $((size_mb * 1000 * 1000 - 2)) /dev/urandom; } > "$work/served/full.exe"

python3 tests/e2e/harness/loopback_http_server.py --root "$work/served" \
  --log "$work/requests.log" > "$work/port" &
server_pid=$!
for _ in $(seq 100); do grep -q '^PORT ' "$work/port" 2>/dev/null && break; sleep 0.1; done
port=$(awk '/^PORT/ {print $2}' "$work/port")
url="http://127.0.0.1:$port/files/full.exe"
dropped_url="http://127.0.0.1:$port/drop/full.exe?at=50"

source scripts/wine-env.sh
zv_wine_up build/windows/wineprefix-bench

# The best and the median of a list of seconds, one a line.
best_of() { sort -g | head -1; }
median_of() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

echo "== curl ($size_mb MB, $rounds rounds)"
curl_times=
for round in $(seq "$rounds"); do
  seconds=$(curl -s -o "$work/curl.out" -w '%{time_total}' "$url")
  sync -f "$work/curl.out" 2>/dev/null || true
  echo "round $round: $seconds s = $(awk -v s="$seconds" -v m="$size_mb" 'BEGIN {printf "%.1f", m / s}') MB/s"
  curl_times+="$seconds"$'\n'
done
best_curl=$(printf '%s' "$curl_times" | best_of)
median_curl=$(printf '%s' "$curl_times" | median_of)
cmp -s "$work/curl.out" "$work/served/full.exe" || { echo "curl's copy differs" >&2; exit 1; }

# Times download_bench.exe fetching $1 ($2 describes it) and checks the copy;
# sets best and median.
time_installer() {
  echo "== DownloadToFile under Wine$2 ($size_mb MB, $rounds rounds)"
  local out times
  out=$(wine "$bench" "$1" "$(winepath -w "$work/zv.out")" "$rounds")
  echo "$out"
  cmp -s "$work/zv.out" "$work/served/full.exe" || { echo "DownloadToFile's copy differs" >&2; exit 1; }
  times=$(echo "$out" | awk '/^round/ {print $8}')
  best=$(echo "$times" | best_of)
  median=$(echo "$times" | median_of)
}
time_installer "$url" ""
best_zv=$best median_zv=$median
time_installer "$dropped_url" ", the connection dropped at 50 %"
best_dropped=$best median_dropped=$median
ranges=$(awk -F '\t' '$1 ~ /\/drop\// {print ($3 == "" ? "-" : $3)}' "$work/requests.log" | sort | uniq -c |
  awk '{printf "%s%s x %s", sep, $1, $2; sep = ", "}')

echo "== summary"
awk -v c="$best_curl" -v z="$best_zv" -v mc="$median_curl" -v mz="$median_zv" -v m="$size_mb" 'BEGIN {
  printf "curl            best %.3f s  %.1f MB/s   median %.3f s  %.1f MB/s\n", c, m / c, mc, m / mc
  printf "DownloadToFile  best %.3f s  %.1f MB/s   median %.3f s  %.1f MB/s\n", z, m / z, mz, m / mz
  printf "ratio           best %.2f x, median %.2f x curl'\''s time (target <= 1.25)\n", z / c, mz / mc
}'
awk -v z="$best_zv" -v mz="$median_zv" -v d="$best_dropped" -v md="$median_dropped" -v m="$size_mb" \
  -v r="$ranges" 'BEGIN {
  printf "dropped at 50%%  best %.3f s  %.1f MB/s   median %.3f s  %.1f MB/s\n", d, m / d, md, m / md
  printf "drop            best %.2f x, median %.2f x the time without it; requests: %s\n", d / z, md / mz, r
}'
