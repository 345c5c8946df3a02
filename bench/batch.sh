#!/usr/bin/env bash
# Times -calcpvv as single processes against the same work as requests of one batch run, and
# prints requests per second for both and their ratio. Every request has its own PAN (with a
# valid check digit) and PIN; the key is given once, from a file.
#
# Usage: bench/batch.sh [build-dir]     (default: build-bench, configured for Release)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-bench}
if [ ! -x "$build/tolvane" ] || [ -z "${1:-}" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTOLVANE_BUILD_TESTS=OFF \
    -DTOLVANE_BUILD_BENCH=OFF >/dev/null
  cmake --build "$build" --target tolvane -j2 >/dev/null
fi
bin=$build/tolvane
singles=${SINGLES:-1000}
requests=${REQUESTS:-100000}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '\x01\x23\x45\x67\x89\xAB\xCD\xEF\xFE\xDC\xBA\x98\x76\x54\x32\x10' >"$work/kpv"

# One request per line: 15 digits counted up from a start, completed with their Luhn digit.
awk -v n="$requests" 'BEGIN {
  for (i = 0; i < n; i++) {
    body = sprintf("411111%09d", i); sum = 0
    for (j = 15; j >= 1; j--) {
      d = substr(body, j, 1) + 0
      if ((15 - j) % 2 == 0) { d *= 2; if (d > 9) d -= 9 }
      sum += d
    }
    printf "-pan %s%d -pin %04d\n", body, (10 - sum % 10) % 10, i % 10000
  }
}' >"$work/requests"

now() { date +%s%N; }

start=$(now)
head -n "$singles" "$work/requests" | while read -r _ pan _ pin; do
  "$bin" -calcpvv -pvki 1 -kpvfile "$work/kpv" -pan "$pan" -pin "$pin" >/dev/null
done
single_ns=$(($(now) - start))

start=$(now)
"$bin" -batch -calcpvv -pvki 1 -kpvfile "$work/kpv" <"$work/requests" >"$work/answers"
batch_ns=$(($(now) - start))

failed=$(grep -vc '^0	[0-9]\{4\}$' "$work/answers" || true)
lines=$(wc -l <"$work/answers")
[ "$failed" -eq 0 ] && [ "$lines" -eq "$requests" ] ||
  { echo "the batch did not answer every request with a PVV" >&2; exit 1; }

awk -v s="$single_ns" -v b="$batch_ns" -v ns="$singles" -v nb="$requests" 'BEGIN {
  single = ns / (s / 1e9); batch = nb / (b / 1e9)
  printf "single processes: %6d runs     in %8.3f s: %12.0f requests/s\n", ns, s / 1e9, single
  printf "one batch:        %6d requests in %8.3f s: %12.0f requests/s\n", nb, b / 1e9, batch
  printf "batch / single:   %.0f times faster per request\n", batch / single
}'
