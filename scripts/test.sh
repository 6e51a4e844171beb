#!/usr/bin/env bash
# Runs every test: installs what is missing, builds both trees, runs the unit
# and end-to-end tests of the host build (ASan/UBSan), the unit tests of the
# Windows build under Wine, and each fuzz target for a share of a minute.
# Exits non-zero when anything fails.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup-debian.sh || exit 1
bash scripts/build.sh || { echo "build failed"; exit 1; }

source scripts/wine-env.sh
zv_wine_up build/windows/wineprefix
trap zv_wine_down EXIT

passed=0
failed=0
failures=()
step() {  # step NAME COMMAND...
  local name=$1
  shift
  echo "== $name"
  if "$@"; then
    passed=$((passed + 1))
    return 0
  fi
  failed=$((failed + 1))
  failures+=("$name")
  return 1
}

export ZV_WINDOWS_BUILD_DIR=$root/build/windows
step "host tests (ASan/UBSan)" ctest --test-dir build/host --output-on-failure
step "windows tests (Wine)" ctest --test-dir build/windows --output-on-failure

# The payload reader, which meets every byte of a downloaded installer, is
# fuzzed for a minute; every other parser for a share of another two. Each
# starts from its seed corpus when there is one; a crash fails the run.
fuzzers=()
for f in build/host/tests/fuzz/*_fuzz; do [ -x "$f" ] && fuzzers+=("$f"); done
if [ ${#fuzzers[@]} -gt 0 ]; then
  others=$(( ${#fuzzers[@]} > 1 ? ${#fuzzers[@]} - 1 : 1 ))
  share=$(( ${ZV_FUZZ_SECONDS:-120} / others ))
  [ "$share" -ge 5 ] || share=5
  for f in "${fuzzers[@]}"; do
    name=$(basename "$f")
    seconds=$share
    [ "$name" = payload_fuzz ] && seconds=${ZV_PAYLOAD_FUZZ_SECONDS:-60}
    corpus=$(mktemp -d)
    [ -d "tests/fuzz/corpus/$name" ] && cp -r "tests/fuzz/corpus/$name/." "$corpus/"
    step "fuzz $name (${seconds}s)" "$f" -max_total_time="$seconds" -rss_limit_mb=4096 \
      -print_final_stats=0 "$corpus" 2> "build/host/$name.log" ||
      tail -n 40 "build/host/$name.log"
    rm -rf "$corpus"
  done
fi

echo
echo "Summary: $passed passed, $failed failed"
for f in "${failures[@]}"; do echo "  failed: $f"; done
[ "$failed" -eq 0 ]
