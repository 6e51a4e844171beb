#!/usr/bin/env bash
# Installs what both builds and the tests need on a fresh Debian 12 machine.
# Safe to run again: it only installs what is missing.
set -euo pipefail

packages=(
  cmake ninja-build clang libclang-rt-14-dev g++ pkg-config
  g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  wine wine64 xvfb
  libboost-dev googletest liblzma-dev libssl-dev dpkg-dev  # libssl-dev: the packer reads signatures
  gettext osslsigncode openssl clang-format python3
  imagemagick fonts-wqy-microhei  # screenshots of the dialogs; CJK and Latin in one font
  tinyproxy  # the web-install tests' proxy that asks for a password (started by the tests)
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

# liblzma for MinGW is built from Debian's own source package, so apt needs a
# deb-src entry. It is derived from the machine's own deb entry rather than
# naming a mirror here.
src_list=/etc/apt/sources.list.d/zevrino-deb-src.sources
need_update=0
if [ ! -f "$src_list" ] && [ -f /etc/apt/sources.list.d/debian.sources ]; then
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | "${sudo_cmd[@]}" tee "$src_list" >/dev/null
  need_update=1
elif [ ! -f "$src_list" ] && [ -f /etc/apt/sources.list ]; then
  grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/zevrino-deb-src.list >/dev/null
  "${sudo_cmd[@]}" touch "$src_list"
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ "$need_update" -eq 1 ]; then
  "${sudo_cmd[@]}" apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
