#!/usr/bin/env bash
# Configures and builds both trees:
#   build/windows  the installer and the Windows test programs (MinGW-w64)
#   build/host     the platform-free modules, the packer and the host tests
#                  (clang, AddressSanitizer and UndefinedBehaviorSanitizer)
# Usage: scripts/build.sh [windows|host]...   (both when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."

trees=("$@")
[ ${#trees[@]} -gt 0 ] || trees=(windows host)
jobs=${ZV_JOBS:-$(nproc)}

for tree in "${trees[@]}"; do
  case "$tree" in
    windows)
      [ -f build/windows/build.ninja ] ||
        cmake -S . -B build/windows -G Ninja \
          -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64-x86_64.cmake \
          -DCMAKE_BUILD_TYPE=Release >/dev/null
      ;;
    host)
      [ -f build/host/build.ninja ] ||
        cmake -S . -B build/host -G Ninja \
          -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
      ;;
    *) echo "build.sh: unknown tree '$tree' (windows or host)" >&2; exit 2 ;;
  esac
  echo "== building build/$tree"
  cmake --build "build/$tree" -j "$jobs"
done
