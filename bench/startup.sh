#!/usr/bin/env bash
# Counts the instructions of whole runs of tolvane, start-up included, with callgrind.
# Instruction counts are deterministic for a given binary, arguments and environment, so the
# runs use an empty environment: glibc scans the environment at start-up, and a typical
# login environment adds some 20 000 instructions.
#
# Usage: bench/startup.sh [build-dir]     (default: build-startup, configured for Release)
set -euo pipefail
default_build=build-startup
source "$(dirname "$0")/release_build.sh"
command -v valgrind >/dev/null || { echo "valgrind is needed" >&2; exit 1; }

count() {
  local out
  out=$(mktemp)
  env -i valgrind --tool=callgrind --callgrind-out-file="$out" "$build/tolvane" "$@" \
    >/dev/null 2>"$out.log" || true
  sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$out.log"
  rm -f "$out" "$out.log"
}

key32=0123456789ABCDEFFEDCBA9876543210
key48=${key32}89ABCDEF01234567
printf '%-62s %12s\n' "run" "instructions"
printf '%-62s %12s\n' "-calcpvv" \
  "$(count -calcpvv -pin 1234 -pan 4111111111111111 -pvki 1 -kpv $key32)"
printf '%-62s %12s\n' "-calcpinblock with a 48-digit KPE" \
  "$(count -calcpinblock -pin 1234 -pan 4111111111111111 -kpe $key48)"
printf '%-62s %12s\n' "-help2" "$(count -help2)"
printf '%-62s %12s\n' "an unknown option (error path)" "$(count -frobnicate)"
file "$build/tolvane" | sed 's/^[^:]*: /binary: /'
