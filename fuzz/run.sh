#!/bin/sh
# Builds fuzz_entry and runs it for a bounded time on a scratch copy of its seed corpus. Exits
# non-zero on any finding (crash, sanitizer report, leak, contract violation, timeout, out of
# memory); the input that caused it is kept under build-fuzz/artifacts/.
#
#   fuzz/run.sh [seconds] [--built]     (default 30 s)
#
# --built runs build-fuzz as it stands, as .ci/run builds it, which runs the tests from the
# same build meanwhile.
set -eu
seconds=${1:-30}
built=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
build=$(dirname "$here")/build-fuzz
if [ "${CI:-}" = true ]; then werror=ON; else werror=OFF; fi

# The same configuration as .ci/run's sanitizer build; tests stay as they were.
if [ "$built" != --built ]; then
  cmake -S "$here/.." -B "$build" -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_FUZZ=ON -DTOLVANE_SANITIZE=ON \
    -DTOLVANE_STATIC=OFF -DTOLVANE_BUILD_BENCH=OFF -DTOLVANE_WERROR=$werror
  cmake --build "$build" --target fuzz_entry tolvane_completions --parallel "$(nproc 2>/dev/null || echo 2)"
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp -R "$here/corpus/entry/." "$scratch"
rm -rf "$build/artifacts" && mkdir -p "$build/artifacts"

# Leaks count as findings; undefined behaviour halts the run with a stack trace. One run takes
# microseconds, so five seconds means it hangs. The console gets the end of the log.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
log=$build/fuzz_entry.log
printf '\n=== fuzz_entry for %s s\n' "$seconds"
if "$build/fuzz/fuzz_entry" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 \
  -max_len=4096 -print_final_stats=1 -artifact_prefix="$build/artifacts/" \
  -dict="$build/generated/entry.dict" "$scratch" </dev/null >"$log" 2>&1; then
  grep -E '^Done |^stat::' "$log" || true
  echo "fuzzing: no findings (log: $log)"
else
  tail -n 80 "$log"
  echo "fuzzing: FINDING, reproduce with $build/fuzz/fuzz_entry $build/artifacts/<file>" >&2
  exit 1
fi
