#!/usr/bin/env bash
# Fuzzing with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer
# (Debian's clang). Everything lives in build-fuzz/ (or $VLM_FUZZ_BUILD_DIR):
# the harnesses in fuzz/, the seed corpora in seeds/, the growing corpora in
# corpus/, whatever a harness finds in artifacts/, the figures of every run
# in fuzz-runs.tsv.
#
#   scripts/fuzz.sh build                      configure and build the harnesses
#   scripts/fuzz.sh short [SECONDS]            every harness for SECONDS (10)
#   scripts/fuzz.sh long [SECONDS] [NAME...]   the long run: SECONDS (3600) each
#   scripts/fuzz.sh replay                     the saved regression inputs
#   scripts/fuzz.sh figures                    totals of all runs so far
#
# short, long and replay build first. A fault found leaves its input in
# artifacts/NAME/ and makes the command fail; copy the input to
# tests/data/fuzz/NAME/ together with the fix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VLM_FUZZ_BUILD_DIR:-$root/build-fuzz}
all=(bmp gif jpeg png webp options lines handoff backup_set page)
declare -A dict=([bmp]=bmp [gif]=gif [jpeg]=jpeg [png]=png [webp]=webp [options]=options [lines]=options [handoff]=options [page]=html)

# The harnesses write their scratch files to the temp folder; a memory file
# system keeps the fsyncs of the backup sets cheap.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

build() {
  "$root/scripts/install-deps.sh"
  if [ ! -f "$build/build.ninja" ]; then
    # -Wno-invalid-constexpr: platform/ShellExtension.h has a constexpr
    # function that clang refuses and GCC accepts.
    local flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined"
    flags+=" -fno-omit-frame-pointer -Wno-invalid-constexpr"
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DVLM_FUZZ=ON -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
  fi
  cmake --build "$build" --target fuzzers
  if [ ! -d "$build/seeds" ] || [ "$root/fuzz/SeedCorpus.cpp" -nt "$build/seeds" ] ||
     [ "$build/fuzz/vlm-fuzz-seeds" -nt "$build/seeds" ]; then
    rm -rf "$build/seeds"
    "$build/fuzz/vlm-fuzz-seeds" "$build/seeds"
  fi
  # PNG and WebP start from their saved inputs: every colour type, alpha,
  # a palette, Adam7, lossy and lossless.
  for name in png webp; do
    mkdir -p "$build/seeds/$name"
    cp "$root/tests/data/fuzz/$name/"* "$build/seeds/$name/"
  done
}

# run NAME SECONDS: one harness; prints and records its figures. Paths given
# to the harness are relative: the page harness shuts itself into a folder
# and reaches the corpus through the working folder only.
run() {
  local name=$1 seconds=$2 log status
  # The page harness shuts itself into a folder of its own mount namespace.
  if [ "$name" = page ] && ! unshare --mount true 2>/dev/null &&
     ! unshare --user --map-root-user --mount true 2>/dev/null; then
    printf '%-11s skipped: this system allows no mount namespace\n' "$name"
    return 0
  fi
  mkdir -p "$build/corpus/$name" "$build/artifacts/$name"
  log=$(mktemp)
  status=0
  (cd "$build" && "./fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=3072 \
     -max_len=65536 -print_final_stats=1 -artifact_prefix="artifacts/$name/" \
     ${dict[$name]:+-dict="$root/fuzz/dict/${dict[$name]}.dict"} \
     "corpus/$name" "seeds/$name") >"$log" 2>&1 || status=$?
  local execs corpus slowest rss
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  slowest=$(sed -n 's/^stat::slowest_unit_time_sec: *//p' "$log" | tail -1)
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -1)
  corpus=$(find "$build/corpus/$name" "$build/seeds/$name" -type f | wc -l)
  printf '%-11s %6ss %12s execs %7s inputs  slowest %ss  %s MB  %s\n' "$name" "$seconds" \
    "${execs:-?}" "$corpus" "${slowest:-?}" "${rss:-?}" \
    "$([ $status -eq 0 ] && echo ok || echo "FAULT (exit $status)")"
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$(date -u +%FT%TZ)" "$name" "$seconds" "${execs:-0}" "$corpus" \
    "$status" >>"$build/fuzz-runs.tsv"
  if [ $status -ne 0 ]; then
    grep -E 'ERROR|runtime error|property does not hold|Test unit written' "$log" | head -5 >&2 || true
  fi
  rm -f "$log"
  return $status
}

fuzz_all() {
  local seconds=$1 failed=0
  shift
  local names=("$@")
  [ ${#names[@]} -eq 0 ] && names=("${all[@]}")
  build
  for name in "${names[@]}"; do run "$name" "$seconds" || failed=1; done
  return $failed
}

case "${1:-}" in
  build) build ;;
  short) fuzz_all "${2:-10}" ;;
  long) shift; seconds=${1:-3600}; [ $# -gt 0 ] && shift; fuzz_all "$seconds" "$@" ;;
  replay)
    build
    for name in "${all[@]}"; do
      (cd "$build" && "./fuzz/fuzz_$name" -runs=0 "$root/tests/data/fuzz/$name") >/dev/null 2>&1 ||
        { echo "replay of $name found a fault" >&2; exit 1; }
    done
    echo "every regression input ran clean under the sanitizers" ;;
  figures)
    awk -F'\t' '{s[$2]+=$3; e[$2]+=$4; c[$2]=$5; if ($6 != 0) f[$2]++}
      END {for (n in s) printf "%-11s %8d s %14d execs %7d inputs %d runs with a fault\n", n, s[n], e[n], c[n], f[n]}' \
      "$build/fuzz-runs.tsv" | sort ;;
  *) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
