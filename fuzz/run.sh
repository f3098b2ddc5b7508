#!/usr/bin/env bash
# Builds the fuzz targets with clang (build/fuzz) and runs each on its seed corpus for an equal share
# of SECONDS (default 60, at least 5 each). New inputs go to build/fuzz/corpus/, crashing inputs to
# build/fuzz/artifacts/; the seeds in fuzz/corpus/ are only read. Fails on any crash, leak, timeout
# or sanitizer report, printing the end of that target's log.
#   fuzz/run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
total=${1:-60}

cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DTARNWICK_FUZZ=ON >/dev/null
cmake --build build/fuzz --target fuzzers

# The targets of the sources now present (an executable left from a removed source is not run).
mapfile -t targets < <(find fuzz -maxdepth 1 -name 'fuzz_*.cpp' -printf 'build/fuzz/fuzz/%f\n' | sed 's/\.cpp$//' | sort)
[ "${#targets[@]}" -gt 0 ] || { echo "fuzz: no fuzz targets in fuzz/" >&2; exit 1; }
share=$(( total / ${#targets[@]} ))
[ "$share" -ge 5 ] || share=5
mkdir -p build/fuzz/artifacts

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_init_order=1:print_legend=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=0
for exe in "${targets[@]}"; do
  name=$(basename "$exe")
  seeds="fuzz/corpus/${name#fuzz_}"
  work="build/fuzz/corpus/${name#fuzz_}"
  log="build/fuzz/$name.log"
  mkdir -p "$work" "$seeds"
  if "$exe" -max_total_time="$share" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="build/fuzz/artifacts/$name-" "$work" "$seeds" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz: $name ran ${runs:-?} inputs in ${share}s without a fault"
  else
    echo "fuzz: $name FAILED; from $log:" >&2
    grep -m1 -A30 -E '^==[0-9]+==ERROR|tarnwick fuzz:|runtime error:|ERROR: libFuzzer' "$log" >&2 || true
    grep -E "Test unit written|^Base64:" "$log" >&2 || tail -n 20 "$log" >&2
    failed=1
  fi
done
exit "$failed"
