#!/usr/bin/env bash
# Time from an interactive installer's start to its progress window's first
# paint, for one or more builds of the stub, alternating run by run so that a
# shared machine's load falls on all of them alike.
#
#   tools/bench/first_paint_bench.sh [runs] [stub.exe...]
#        (default 5 runs of the build's installer_stub.exe)
#
# Every stub gets the payload of install_peer_bench.sh appended (its 300 MB
# tree; made with `install_peer_bench.sh 0` when not cached yet), as a
# shipped installer carries it. Each run is an interactive normal install as
# a normal user into a fresh %APPDATA%\Zevrino, without starting the
# application:
#   run_limited.exe first_paint_probe.exe setup.exe --skip-app-launch
# first_paint_probe.exe reports when the progress window became visible and
# when it and its children were first painted, counted from the installer's
# CreateProcess. Printed per stub: median, fastest and slowest of each.
#
# Needs wine, Xvfb and python3, and the build trees of ZV_WINDOWS_BUILD_DIR
# (default build/windows: the probe, run_limited.exe) and ZV_HOST_BUILD_DIR
# (default build/host: the packer, for install_peer_bench.sh).
set -euo pipefail
user=${USER:-$(id -un)}

runs=${1:-5}
shift || true
root=$(cd "$(dirname "$0")/../.." && pwd)
win_build=${ZV_WINDOWS_BUILD_DIR:-$root/build/windows}
cache=${ZV_BENCH_CACHE:-$HOME/.cache/zevrino-bench}
stubs=("$@")
[ ${#stubs[@]} -gt 0 ] || stubs=("$win_build/installer_stub.exe")
probe=$win_build/tools/bench/first_paint_probe.exe
run_limited=$win_build/tests/e2e/windows/run_limited.exe
for file in "${stubs[@]}" "$probe" "$run_limited"; do
  [ -f "$file" ] || { echo "first_paint_bench: $file is missing; build first" >&2; exit 2; }
done
[ -f "$cache/peer/payload" ] || bash "$root/tools/bench/install_peer_bench.sh" 0
work=$cache/first-paint
mkdir -p "$work"
for i in "${!stubs[@]}"; do
  cat "${stubs[$i]}" "$cache/peer/payload" >"$work/setup$i.exe"
done

# A prefix of its own, with a display when there is none (scripts/wine-env.sh).
source "$root/scripts/wine-env.sh"
zv_wine_up "$work/prefix"
desktop_keeper=
cleanup() {
  [ -z "$desktop_keeper" ] || kill "$desktop_keeper" 2>/dev/null || true
  zv_wine_down
}
trap cleanup EXIT
# Without a window manager Wine waits 2 s for every window it hides unless
# its windows are unmanaged (as the end-to-end tests set it).
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
# The desktop process stays up, as in a session, so that no run pays for it.
wine notepad.exe >/dev/null 2>&1 &
desktop_keeper=$!
sleep 2
appdata=$(winepath -u 'C:\users' 2>/dev/null)/$user/AppData/Roaming
links=("$(winepath -u 'C:\users' 2>/dev/null)/$user/Desktop/Zevrino.lnk"
  "$appdata/Microsoft/Windows/Start Menu/Programs/Zevrino.lnk")

results=$work/results.txt
: >"$results"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for ((run = 1; run <= runs; run++)); do
  for i in "${!stubs[@]}"; do
    rm -rf "$appdata/Zevrino" "${links[@]}"
    sync
    line=$(wine "$run_limited" "$probe" "$(winepath -w "$work/setup$i.exe")" --skip-app-launch \
      2>/dev/null | grep '^visible_ms=') || { echo "run $run of stub $i failed" >&2; exit 1; }
    echo "$i $line" >>"$results"
  done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
rm -rf "$appdata/Zevrino" "${links[@]}"

python3 - "$results" "${stubs[@]}" <<'PYEOF'
import os, re, statistics, sys
rows = {}
for line in open(sys.argv[1]):
    index, rest = line.split(" ", 1)
    values = dict(re.findall(r"(\w+)=([-\d.]+)", rest))
    rows.setdefault(int(index), []).append((float(values["visible_ms"]),
                                            float(values["painted_ms"])))
for index, stub in enumerate(sys.argv[2:]):
    visible = [v for v, _ in rows[index]]
    painted = [p for _, p in rows[index]]
    print(f"{stub} ({os.path.getsize(stub)} bytes), {len(painted)} runs: "
          f"visible {statistics.median(visible):.1f} ms ({min(visible):.1f}-{max(visible):.1f}), "
          f"first paint {statistics.median(painted):.1f} ms ({min(painted):.1f}-{max(painted):.1f})")
PYEOF
