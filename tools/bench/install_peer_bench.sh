#!/usr/bin/env bash
# Install speed against a peer installer and against the serial floor, each
# run as a whole process, alternating run by run so that a shared machine's
# load falls on all of them alike.
#
#   tools/bench/install_peer_bench.sh [runs]        (default 5; 0 only
#                                                    prepares the inputs)
#
# Inputs, made at benchmark time and cached outside the repository in
# ${ZV_BENCH_CACHE:-~/.cache/zevrino-bench}/peer (nothing large is committed):
#   app/        Wine's own x86-64 PE files of at least 1 MB, by name, until
#               300 MB (large ones carry their debug sections); every tenth
#               in "locales", as extract_bench lays it out
#   payload     our payload of app/ (pack_installer, preset 6, x86 filter,
#               32 MiB dictionary), appended to the current installer_stub.exe
#               of the build at every run of this script
#   stream      the raw [x86, LZMA1] stream of that payload, for xz
#   peer.exe    an NSIS installer of app/: solid LZMA, 32 MB dictionary,
#               64-bit Unicode stub, silent per-user install into %APPDATA%
#   tiny.exe    our installer of a single 1 KB file
#
# Measured, each run in this order:
#   ours      installer_stub extract into %APPDATA%\Zevrino (fresh directory)
#   upgrade   the same over the installation the previous command left
#   silent    our normal install, run_limited.exe setup.exe --silent
#             --skip-app-launch (as a normal user; a fresh %APPDATA%\Zevrino,
#             its shortcuts removed): install, uninstall entry, shortcuts
#   silent_upgrade  the same over the installation the previous command
#             left; the old files are deleted after the shortcuts, before
#             the process ends, so their deletion is in this figure
#             (wall and CPU time of run_limited.exe; the installer's own CPU
#             time and resident set are not seen by GNU time)
#   peer      peer.exe /S (fresh directory)
#   floor     xz --format=raw decoding of the stream to /dev/null, then a
#             plain copy (cp -r) of app/ into a fresh directory: decoding
#             and writing one after the other, as a serial installer does
#   tiny      tiny.exe extract; do_nothing.exe, do_nothing_gui.exe and
#             do_nothing_com.exe (GUI programs built like the stub that return
#             at once: bare, importing USER32 as every program with a window
#             does, and after starting COM for their thread as the installer
#             does before it reads its payload): the start-up floors; then
#             tiny.exe and two of them once more, 3 x runs rounds, each
#             process timed alone (no GNU time, no timeout around it)
# Wall time of each process, its CPU time (user + system: what a loaded
# machine cannot hide) and its peak resident set (GNU time).
#
# Needs wine, xz, python3, GNU time and makensis (Debian: apt-get install
# nsis); the build trees of ZV_WINDOWS_BUILD_DIR (default build/windows) and
# ZV_HOST_BUILD_DIR (default build/host) with the packer, the do_nothing
# programs and tests/e2e/windows/run_limited.exe.
set -euo pipefail
user=${USER:-$(id -un)}

runs=${1:-5}
root=$(cd "$(dirname "$0")/../.." && pwd)
win_build=${ZV_WINDOWS_BUILD_DIR:-$root/build/windows}
host_build=${ZV_HOST_BUILD_DIR:-$root/build/host}
cache=${ZV_BENCH_CACHE:-$HOME/.cache/zevrino-bench}/peer
dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows

for tool in wine wineserver Xvfb xz python3 bc makensis /usr/bin/time; do
  if ! command -v "$tool" >/dev/null; then
    echo "install_peer_bench: $tool is missing" \
      "(makensis: apt-get install nsis; GNU time: apt-get install time)" >&2
    exit 2
  fi
done
for file in "$win_build/installer_stub.exe" "$host_build/pack_installer" \
  "$win_build/tools/bench/do_nothing.exe" "$win_build/tools/bench/do_nothing_gui.exe" \
  "$win_build/tools/bench/do_nothing_com.exe" "$win_build/tests/e2e/windows/run_limited.exe"; do
  case $file in *do_nothing* | *run_limited*) [ "$runs" -gt 0 ] || continue ;; esac
  [ -f "$file" ] || { echo "install_peer_bench: $file is missing; build first" >&2; exit 2; }
done
mkdir -p "$cache"

# ---- inputs ----------------------------------------------------------------

if [ ! -f "$cache/app.complete" ]; then
  echo "copying the corpus into $cache/app ..."
  rm -rf "$cache/app"
  python3 - "$dlls" "$cache/app" <<'EOF'
import os, shutil, sys
source, app = sys.argv[1], sys.argv[2]
names = sorted(n for n in os.listdir(source)
               if os.path.isfile(os.path.join(source, n))
               and os.path.getsize(os.path.join(source, n)) >= 1000 * 1000)
total = 0
for index, name in enumerate(names):
    if total >= 300 * 1000 * 1000:
        break
    target = os.path.join(app, "locales" if index % 10 == 0 else "", name)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    shutil.copyfile(os.path.join(source, name), target)
    total += os.path.getsize(target)
EOF
  touch "$cache/app.complete"
  rm -f "$cache/payload" "$cache/stream" "$cache/peer.exe"
fi

# The payload is what follows the stub in a packed installer, so a new stub
# only needs the cached payload appended.
if [ ! -f "$cache/payload" ]; then
  echo "packing app/ at preset 6 (once) ..."
  start=$(date +%s)
  "$host_build/pack_installer" pack --stub "$win_build/installer_stub.exe" \
    --output "$cache/packed.exe" --app-dir "$cache/app" --preset 6 --allow-missing-exe >/dev/null
  tail -c +$(($(stat -c %s "$win_build/installer_stub.exe") + 1)) "$cache/packed.exe" \
    >"$cache/payload.part"
  mv "$cache/payload.part" "$cache/payload"
  rm -f "$cache/packed.exe" "$cache/stream"
  echo "packed in $(($(date +%s) - start)) s"
fi
cat "$win_build/installer_stub.exe" "$cache/payload" >"$cache/setup.exe"

# U, the LZMA properties and the raw stream, read from the payload layout:
# payload, 12-byte marker, 32-bit payload length; in the payload a 16-bit
# header size H, H - 2 more header bytes, a 20-byte digest, then varints U
# and F, 5 property bytes and the stream.
if [ ! -f "$cache/stream" ]; then
  python3 - "$cache/payload" "$cache/stream" "$cache/stream.info" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
length = struct.unpack_from("<I", data, len(data) - 4)[0]
payload = data[len(data) - 16 - length:len(data) - 16]
header_size = struct.unpack_from("<H", payload, 0)[0]
pos = header_size + 20
def varint():
    global pos
    value, shift = 0, 0
    while True:
        byte = payload[pos]; pos += 1
        value |= (byte & 0x7F) << shift; shift += 7
        if not byte & 0x80:
            return value
decoded, filter_id = varint(), varint()
d = payload[pos]
dictionary = struct.unpack_from("<I", payload, pos + 1)[0]
assert filter_id == 1 and decoded > 0, "not an x86-filtered compressed payload"
open(sys.argv[2], "wb").write(payload[pos + 5:])
lc, lp, pb = d % 9, (d // 9) % 5, d // 45
open(sys.argv[3], "w").write(
    f"{decoded} --x86 --lzma1=dict={dictionary},lc={lc},lp={lp},pb={pb}\n")
EOF
fi
read -r decoded_size xz_filters <"$cache/stream.info"

if [ ! -f "$cache/peer.exe" ]; then
  echo "building the NSIS peer (once) ..."
  start=$(date +%s)
  cat >"$cache/peer.nsi" <<EOF
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
SetCompressorDictSize 32
RequestExecutionLevel user
SilentInstall silent
Name "ZevrinoPeer"
OutFile "$cache/peer.exe"
InstallDir "\$APPDATA\\ZevrinoPeer"
Section
  SetOutPath "\$INSTDIR"
  File /r "$cache/app/*.*"
SectionEnd
EOF
  makensis -V2 "$cache/peer.nsi"
  echo "built in $(($(date +%s) - start)) s"
fi

if [ ! -f "$cache/tiny/app.bin" ]; then
  mkdir -p "$cache/tiny"
  head -c 1024 /dev/urandom >"$cache/tiny/app.bin"
fi
"$host_build/pack_installer" pack --stub "$win_build/installer_stub.exe" \
  --output "$cache/tiny.exe" --app-dir "$cache/tiny" --preset 6 --allow-missing-exe >/dev/null

# ---- runs ------------------------------------------------------------------

if [ "$runs" -eq 0 ]; then
  echo "inputs ready in $cache"
  exit 0
fi

# A display of its own: without one every program that loads user32 would
# try (and fail) to start Wine's desktop process again.
exec 3>"$cache/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 50); do [ -s "$cache/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$cache/display")
export WINEPREFIX=$cache/prefix WINEDEBUG=-all
# Wine runs winemenubuilder for every shell link saved on the desktop or in
# the Start menu, and waits for it: a Linux menu entry that no Windows machine
# makes, about 8 ms per shortcut. The tests and the demo turn it off too.
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
desktop_keeper=
cleanup() {
  [ -z "$desktop_keeper" ] || kill "$desktop_keeper" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
[ -d "$WINEPREFIX" ] || { echo "making the Wine prefix ..."; wineboot -i >/dev/null 2>&1; }
wineserver -p  # stays up between the runs, as on a machine in use
# A new prefix reports an older Windows, which the installer refuses (with a
# message box that would wait for ever).
wine reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1
wine "$win_build/tools/bench/do_nothing_gui.exe" >/dev/null 2>&1 || true  # DLLs warm
# Wine's desktop process ends a moment after the last program with a window;
# a session's desktop does not. A window that stays open keeps it, so that
# no measured program pays for starting it.
wine notepad.exe >/dev/null 2>&1 &
desktop_keeper=$!
sleep 2
appdata=$(winepath -u 'C:\users' 2>/dev/null)/$user/AppData/Roaming
ours_dir=$appdata/Zevrino
desktop_link=$(winepath -u 'C:\users' 2>/dev/null)/$user/Desktop/Zevrino.lnk
menu_link=$appdata/Microsoft/Windows/Start\ Menu/Programs/Zevrino.lnk
peer_dir=$appdata/ZevrinoPeer
floor_dir=$cache/floor-target
results=$cache/results.txt
: >"$results"

# Appends "name seconds peak-kB cpu-seconds exit-code" for one command.
measure() {
  local name=$1
  shift
  sync
  local start end
  start=$(date +%s.%N)
  set +e
  # A start that Wine loses under load would otherwise wait for ever.
  /usr/bin/time -f "%M %U %S" -o "$cache/time.out" timeout 300 "$@" >/dev/null 2>&1
  local code=$?
  [ "$code" -ne 124 ] || { echo "$name: no end after 300 s" >&2; exit 1; }
  set -e
  end=$(date +%s.%N)
  local peak user system
  read -r peak user system < <(tail -1 "$cache/time.out")
  echo "$name $(echo "$end - $start" | bc) $peak $(echo "$user + $system" | bc) $code" >>"$results"
}

# Files and bytes of the regular files below a directory.
tree_bytes() { find "$1" -type f -printf '%s\n' 2>/dev/null | awk '{n++; s+=$1} END {print n, s}'; }
app_bytes=$(tree_bytes "$cache/app")

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for ((run = 1; run <= runs; run++)); do
  rm -rf "$ours_dir" "$peer_dir" "$floor_dir"
  measure ours wine "$cache/setup.exe" --extract 'C:\users\'"$user"'\AppData\Roaming\Zevrino'
  [ "$(tree_bytes "$ours_dir")" = "$app_bytes" ] || { echo "ours: wrong tree" >&2; exit 1; }
  if [ "$run" -eq 1 ]; then
    diff -r -q "$cache/app" "$ours_dir" >/dev/null || { echo "ours: other bytes" >&2; exit 1; }
  fi
  measure upgrade wine "$cache/setup.exe" --extract 'C:\users\'"$user"'\AppData\Roaming\Zevrino'
  [ "$(tree_bytes "$ours_dir")" = "$app_bytes" ] || { echo "upgrade: wrong tree" >&2; exit 1; }
  rm -rf "$ours_dir" "$desktop_link" "$menu_link"
  measure silent wine "$win_build/tests/e2e/windows/run_limited.exe" "$cache/setup.exe" \
    --silent --skip-app-launch
  [ "$(tree_bytes "$ours_dir")" = "$app_bytes" ] || { echo "silent: wrong tree" >&2; exit 1; }
  if [ "$run" -eq 1 ]; then
    [ -f "$desktop_link" ] && [ -f "$menu_link" ] || { echo "silent: no shortcuts" >&2; exit 1; }
    diff -r -q "$cache/app" "$ours_dir" >/dev/null || { echo "silent: other bytes" >&2; exit 1; }
  fi
  measure silent_upgrade wine "$win_build/tests/e2e/windows/run_limited.exe" \
    "$cache/setup.exe" --silent --skip-app-launch
  # Exactly the tree: the replaced old files are gone before the process ends.
  [ "$(tree_bytes "$ours_dir")" = "$app_bytes" ] || { echo "silent upgrade: wrong tree" >&2; exit 1; }
  measure peer wine "$cache/peer.exe" /S
  [ "$(tree_bytes "$peer_dir")" = "$app_bytes" ] || { echo "peer: wrong tree" >&2; exit 1; }
  if [ "$run" -eq 1 ]; then
    diff -r -q "$cache/app" "$peer_dir" >/dev/null || { echo "peer: other bytes" >&2; exit 1; }
  fi
  # xz ends with "unexpected end of input" on a stream without end marker,
  # after writing everything; its exit code is not looked at.
  # shellcheck disable=SC2086
  measure decode xz --decompress --stdout --format=raw $xz_filters "$cache/stream"
  measure write cp -r "$cache/app" "$floor_dir"
  [ "$(tree_bytes "$floor_dir")" = "$app_bytes" ] || { echo "floor: wrong tree" >&2; exit 1; }
  rm -rf "$cache/tiny-target"
  measure tiny wine "$cache/tiny.exe" --extract "$(winepath -w "$cache/tiny-target")"
  measure nothing wine "$win_build/tools/bench/do_nothing.exe"
  measure nothing_gui wine "$win_build/tools/bench/do_nothing_gui.exe"
  measure nothing_com wine "$win_build/tools/bench/do_nothing_com.exe"
  echo "run $run done"
done

# The tiny rows once more, each process timed on its own: GNU time and
# timeout add about 10 ms to every process above, which is nothing for the
# installs but flattens the ratios of runs this short.
direct() {  # direct NAME COMMAND...: one run's milliseconds into direct.txt
  local name=$1
  shift
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1 || { echo "$name exited with $?" >&2; exit 1; }
  end=$(date +%s%N)
  echo "$name $(((end - start) / 1000))" >>"$cache/direct.txt"
}
: >"$cache/direct.txt"
tiny_target=$(winepath -w "$cache/tiny-target")
for _ in $(seq $((runs * 3))); do
  direct tiny wine "$cache/tiny.exe" --extract "$tiny_target"
  direct nothing wine "$win_build/tools/bench/do_nothing.exe"
  direct nothing_com wine "$win_build/tools/bench/do_nothing_com.exe"
done
rm -rf "$ours_dir" "$peer_dir" "$floor_dir" "$cache/tiny-target" "$desktop_link" "$menu_link"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

python3 - "$results" "${app_bytes#* }" "$decoded_size" "$(stat -c %s "$cache/payload")" \
  "$(stat -c %s "$cache/peer.exe")" <<'EOF'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
app, decoded, payload, peer = (int(x) for x in sys.argv[2:6])
times, peaks, cpus = {}, {}, {}
for name, seconds, peak, cpu, code in rows:
    if code != "0" and name != "decode":
        if not name.startswith("nothing"):
            sys.exit(f"{name} exited with {code}")
        print(f"note: a {name} run exited with {code}; left out")
        continue
    times.setdefault(name, []).append(float(seconds))
    peaks.setdefault(name, []).append(int(peak) * 1024)
    cpus.setdefault(name, []).append(float(cpu))
times["floor"] = [d + w for d, w in zip(times["decode"], times["write"])]
cpus["floor"] = [d + w for d, w in zip(cpus["decode"], cpus["write"])]
# The installer that run_limited.exe starts is no child that GNU time waits
# for: its resident set is not seen (it runs the same extraction as "ours").
for name in ("silent", "silent_upgrade"):
    peaks.pop(name, None)
med = {k: statistics.median(v) for k, v in times.items()}
cpu = {k: statistics.median(v) for k, v in cpus.items()}
print(f"tree {app / 1e6:.1f} MB, decoded body {decoded / 1e6:.1f} MB; "
      f"our payload {payload / 1e6:.1f} MB, NSIS installer {peer / 1e6:.1f} MB")
print(f"{'median of ' + str(len(times['ours'])) + ' runs':28} {'seconds':>8} "
      f"{'range':>13} {'CPU s':>7} {'peak MB':>8}")
for name, what in [("ours", "ours: extract, fresh"), ("upgrade", "ours: extract over it"),
                   ("silent", "ours: silent install, fresh"),
                   ("silent_upgrade", "ours: silent install over it"),
                   ("peer", "NSIS peer, silent"), ("floor", "serial floor"),
                   ("decode", "  xz raw decode"), ("write", "  cp -r of the tree"),
                   ("tiny", "ours: tiny payload"), ("nothing", "do-nothing program"),
                   ("nothing_gui", "do-nothing, USER32"),
                   ("nothing_com", "do-nothing, COM started")]:
    peak = f"{max(peaks[name]) / 1e6:8.1f}" if name in peaks else f"{'-':>8}"
    print(f"{what:28} {med[name]:8.3f} {min(times[name]):6.3f}-{max(times[name]):6.3f} "
          f"{cpu[name]:7.2f} {peak}")
print(f"ours / floor {med['ours'] / med['floor']:.2f}x (target <= 1.00); "
      f"ours / peer {med['ours'] / med['peer']:.2f}x (target <= 0.60)")
print(f"silent install / floor {med['silent'] / med['floor']:.2f}x (target <= 1.00); "
      f"silent install / peer {med['silent'] / med['peer']:.2f}x (target <= 0.60); "
      f"silent over it / silent fresh {med['silent_upgrade'] / med['silent']:.2f}x (target <= 1.3)")
print(f"CPU time: ours / floor {cpu['ours'] / cpu['floor']:.2f}x; "
      f"ours / peer {cpu['ours'] / cpu['peer']:.2f}x")
print(f"upgrade / fresh {med['upgrade'] / med['ours']:.2f}x (target <= 1.3); "
      f"tiny / do-nothing {med['tiny'] / med['nothing']:.2f}x (target <= 1.5), "
      f"/ do-nothing with USER32 {med['tiny'] / med['nothing_gui']:.2f}x, "
      f"/ do-nothing that starts COM {med['tiny'] / med['nothing_com']:.2f}x; "
      f"starting COM alone / do-nothing {med['nothing_com'] / med['nothing']:.2f}x")
print(f"peak of ours {max(peaks['ours']) / 1e6:.1f} MB; limit U + payload + 64 MB = "
      f"{(decoded + payload) / 1e6 + 64:.1f} MB (the resident set includes Wine itself)")
print("each run (ours/upgrade/silent/silent over it/peer/floor s):",
      " ".join("/".join(f"{t:.2f}" for t in row) for row in
               zip(times["ours"], times["upgrade"], times["silent"], times["silent_upgrade"],
                   times["peer"], times["floor"])))
EOF

python3 - "$cache/direct.txt" <<'EOF'
import statistics, sys
times = {}
for line in open(sys.argv[1]):
    name, microseconds = line.split()
    times.setdefault(name, []).append(int(microseconds) / 1000)
med = {name: statistics.median(values) for name, values in times.items()}
print(f"timed alone, median of {len(times['tiny'])}: tiny {med['tiny']:.1f} ms, do-nothing "
      f"{med['nothing']:.1f} ms, do-nothing that starts COM {med['nothing_com']:.1f} ms; "
      f"tiny / do-nothing {med['tiny'] / med['nothing']:.2f}x, "
      f"tiny / starting COM {med['tiny'] / med['nothing_com']:.2f}x, "
      f"starting COM alone / do-nothing {med['nothing_com'] / med['nothing']:.2f}x")
EOF
