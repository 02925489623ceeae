#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into ${FUZZ_BUILD_DIR:-build-fuzz}
# and runs each for SECONDS (default 60), all at once, seeded from
# tests/fuzz/corpus/<target>/ and with the dictionary tests/fuzz/<target>.dict
# when present. Usage: run-fuzz.sh [SECONDS] [TARGET...]
# What a target finds goes to ${FUZZ_CORPUS_DIR}/<target>/ when that folder
# lies outside the checkout and can be written, so that later runs build on
# it; otherwise to a temporary folder. The seeds are only read.
# Fails when any target finds a crash, a time-out or a property failure.
set -euo pipefail
cd "$(dirname "$0")/../.."
SECONDS_EACH="${1:-60}"
shift || true
BUILD="${FUZZ_BUILD_DIR:-build-fuzz}"

# The folder that keeps the finds, checked before anything is made: never
# the root, never inside the checkout (links resolved), and writable.
KEPT=""
if [ -n "${FUZZ_CORPUS_DIR:-}" ]; then
  wanted="$(realpath -m -- "$FUZZ_CORPUS_DIR")"
  case "$wanted/" in
    //|"$(pwd -P)"/*) ;;
    *) if mkdir -p -- "$wanted" 2>/dev/null && [ -w "$wanted" ]; then KEPT="$wanted"; fi ;;
  esac
  if [ -n "$KEPT" ]; then
    echo "fuzz corpus: $KEPT"
  else
    echo "fuzz corpus: $FUZZ_CORPUS_DIR cannot be used, a temporary one instead"
  fi
fi

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOLVARIUM_FUZZ=ON >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target fuzz_targets
BUILD="$(cd "$BUILD" && pwd)"  # relative or absolute, as given

targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  shopt -s nullglob
  for source in tests/fuzz/*_fuzz.cc; do targets+=("$(basename "$source" .cc)"); done
fi

WORK="$(mktemp -d "${TMPDIR:-/tmp}/solvarium-fuzz-XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

CORPORA="${KEPT:-$WORK}"

pids=()
for target in "${targets[@]}"; do
  # libFuzzer adds what it finds to the first corpus folder only.
  corpora=("$CORPORA/$target")
  mkdir -p "${corpora[0]}"
  [ -d "tests/fuzz/corpus/$target" ] && corpora+=("$PWD/tests/fuzz/corpus/$target")
  dict=()
  [ -f "tests/fuzz/$target.dict" ] && dict=(-dict="$PWD/tests/fuzz/$target.dict")
  (cd "$WORK" && exec "$BUILD/tests/fuzz/$target" "${dict[@]}" -max_total_time="$SECONDS_EACH" \
      -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
      -artifact_prefix="$WORK/$target-" "${corpora[@]}" >"$WORK/$target.log" 2>&1) &
  pids+=($!)
done

failed=0
for i in "${!targets[@]}"; do
  if wait "${pids[$i]}"; then
    echo "fuzz ${targets[$i]}: ok ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$WORK/${targets[$i]}.log" | grep -o '[0-9]*$') runs)"
  else
    failed=$((failed + 1))
    echo "fuzz ${targets[$i]}: FAILED"
    grep -a -m1 '^PROPERTY FAILED' "$WORK/${targets[$i]}.log" || true
    tail -40 "$WORK/${targets[$i]}.log"
    mkdir -p fuzz-artifacts && cp "$WORK/${targets[$i]}"-* fuzz-artifacts/ 2>/dev/null || true
  fi
done
echo "$(( ${#targets[@]} - failed )) passed, $failed failed"
[ "$failed" -eq 0 ]
