#!/usr/bin/env bash
# Cross-builds liblzma for x86_64-w64-mingw32 from Debian's xz-utils source
# package and installs the static library and headers under PREFIX.
# Usage: build-liblzma-mingw.sh PREFIX
# Does nothing when PREFIX already holds lib/liblzma.a.
set -euo pipefail

prefix=$(realpath -m "$1")
[ -f "$prefix/lib/liblzma.a" ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
apt-get source -qq xz-utils >/dev/null 2>&1 || {
  echo "build-liblzma-mingw: 'apt-get source xz-utils' failed; run scripts/setup-debian.sh first" >&2
  exit 1
}
src=$(find . -maxdepth 1 -type d -name 'xz-utils-*' | head -n 1)
cd "$src"
# Threads are off: the decoder runs single-threaded and this keeps the stub
# free of a winpthreads dependency inside liblzma.
./configure -q --host=x86_64-w64-mingw32 --prefix="$prefix" \
  --enable-static --disable-shared --disable-xz --disable-xzdec \
  --disable-lzmadec --disable-lzmainfo --disable-scripts --disable-doc \
  --disable-nls --disable-threads CC=x86_64-w64-mingw32-gcc-posix \
  CFLAGS="-O2" >/dev/null
make -s -j"$(nproc)" >/dev/null
make -s install >/dev/null
echo "build-liblzma-mingw: installed into $prefix"
