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
# starts from its seed corpora when there are any (committed ones under
# tests/fuzz/corpus, made ones under build/host/tests/fuzz/seeds); a crash
# fails the run and its input is kept under build/host/fuzz-artifacts. The
# executions and the coverage each target reached are printed.
fuzzers=()
for f in build/host/tests/fuzz/*_fuzz; do [ -x "$f" ] && fuzzers+=("$f"); done
fuzz_figures=()
if [ ${#fuzzers[@]} -gt 0 ]; then
  others=$(( ${#fuzzers[@]} > 1 ? ${#fuzzers[@]} - 1 : 1 ))
  share=$(( ${ZV_FUZZ_SECONDS:-120} / others ))
  [ "$share" -ge 5 ] || share=5
  mkdir -p build/host/fuzz-artifacts
  for f in "${fuzzers[@]}"; do
    name=$(basename "$f")
    seconds=$share
    [ "$name" = payload_fuzz ] && seconds=${ZV_PAYLOAD_FUZZ_SECONDS:-60}
    corpus=$(mktemp -d)
    for seeds in "tests/fuzz/corpus/$name" "build/host/tests/fuzz/seeds/$name"; do
      [ -d "$seeds" ] && cp -r "$seeds/." "$corpus/"
    done
    log="build/host/$name.log"
    step "fuzz $name (${seconds}s)" "$f" -max_total_time="$seconds" -rss_limit_mb=4096 \
      -print_final_stats=1 -artifact_prefix="build/host/fuzz-artifacts/$name-" "$corpus" \
      2> "$log" || tail -n 40 "$log"
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n 1)
    fuzz_figures+=("$name: ${runs:-?} executions in ${seconds}s, ${cov:-no coverage line}, $(ls "$corpus" | wc -l) inputs in the corpus")
    rm -rf "$corpus"
  done
fi

echo
for figure in "${fuzz_figures[@]}"; do echo "fuzz $figure"; done
echo
echo "Summary: $passed passed, $failed failed"
for f in "${failures[@]}"; do echo "  failed: $f"; done
[ "$failed" -eq 0 ]
