#!/bin/sh
# Builds the fuzz targets and runs each for a bounded time on a scratch copy of its seed corpus.
# Exits non-zero on any finding (crash, sanitizer report, leak, contract violation, timeout,
# out of memory); the input that caused it is kept under build-fuzz/artifacts/.
#
#   fuzz/run.sh [seconds-per-target]      (default 30)
set -eu

seconds=${1:-30}
case $seconds in
  '' | *[!0-9]* | 0) echo "usage: $0 [seconds-per-target]  (a positive whole number)" >&2; exit 2 ;;
esac

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$root/build-fuzz
jobs=$(nproc 2>/dev/null || echo 2)

if [ "${CI:-}" = true ]; then werror=ON; else werror=OFF; fi

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_FUZZ=ON -DTOLVANE_STATIC=OFF \
  -DTOLVANE_BUILD_TESTS=OFF -DTOLVANE_BUILD_BENCH=OFF -DTOLVANE_WERROR=$werror
cmake --build "$build" --target fuzz_entry fuzz_pin_block --parallel "$jobs"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Leaks count as findings; undefined behaviour halts the run with a stack trace.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

failed=
for target in entry pin_block; do
  cp -R "$here/corpus/$target" "$scratch/$target"
  artifacts=$build/artifacts/$target
  rm -rf "$artifacts"
  mkdir -p "$artifacts"
  set --
  if [ -f "$here/$target.dict" ]; then set -- -dict="$here/$target.dict"; fi
  printf '\n=== fuzz_%s for %s s\n' "$target" "$seconds"
  # -timeout: one run takes microseconds, so five seconds means it hangs.
  # -rss_limit_mb: ample for inputs of at most -max_len bytes.
  # The full log is kept; the console gets its end, which holds the final figures or the report.
  log=$build/logs/fuzz_$target.log
  mkdir -p "$build/logs"
  if "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 \
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$artifacts/" "$@" \
    "$scratch/$target" </dev/null >"$log" 2>&1; then
    grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^Done |^stat::' "$log" || true
    echo "fuzz_$target: no findings (log: $log)"
  else
    tail -n 80 "$log"
    echo "fuzz_$target: FINDING (log: $log)" >&2
    echo "reproduce with: $build/fuzz/fuzz_$target $artifacts/<file>" >&2
    ls -l "$artifacts" >&2
    failed="$failed fuzz_$target"
  fi
done

if [ -n "$failed" ]; then
  echo "fuzzing found problems in:$failed" >&2
  exit 1
fi
echo "fuzzing: no findings"
