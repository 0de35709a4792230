#!/usr/bin/env bash
# Builds the fuzz targets of the page readers (clang, build/fuzz) when needed
# and runs each for the given number of seconds (default 60), starting from
# its seed corpus in tests/fuzz/corpus/<target>. Stops at the first crash,
# hang (-timeout=2), memory blow-up or sanitizer report, and prints the
# executions of every target. Usage: scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-60}
shift || true

build=build/fuzz
if [ ! -f "$build/build.ninja" ]; then
  launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAGENT_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang "${launcher[@]}" >/dev/null
fi
if ! cmake --build "$build" -j2 --target fuzzers >"$build/build.log" 2>&1; then
  tail -40 "$build/build.log" >&2
  echo "fuzz targets: build failed, see $build/build.log" >&2
  exit 1
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in tests/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

printf '%-22s %12s %10s\n' target executions per-second
for t in "${targets[@]}"; do
  work=$build/corpus/$t
  artifacts=$build/artifacts/$t/
  mkdir -p "$work" "$artifacts"
  log=$build/$t.log
  # New inputs go to the working corpus; the committed seeds are only read.
  if ! "$build/tests/fuzz/$t" -timeout=2 -rss_limit_mb=2048 -max_len=16384 \
      -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts" \
      "$work" "tests/fuzz/corpus/$t" >"$log" 2>&1; then
    echo "$t: FAILED, see $log and $artifacts" >&2
    grep -m1 -E 'ERROR|broken|runtime error|timeout|out-of-memory' "$log" >&2 || tail -20 "$log" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  printf '%-22s %12s %10s\n' "$t" "$runs" "$((runs / (seconds > 0 ? seconds : 1)))"
done
