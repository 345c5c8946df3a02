#!/usr/bin/env bash
# Times -calcpvv as single processes against the same work as requests of one batch run, and
# prints requests per second for both and their ratio. Every request has its own PAN (with a
# valid check digit) and PIN; the key is given once, from a file.
#
# Usage: bench/batch.sh [build-dir]     (default: build-bench, configured for Release)
set -euo pipefail
default_build=build-bench
source "$(dirname "$0")/release_build.sh"
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

# Wall-clock and CPU seconds (user + system, children included) of a command, on one line.
timed() {
  local TIMEFORMAT='%R %U %S'
  { time "$@" >/dev/null; } 2>&1 | awk '{ print $1, $2 + $3 }'
}
singles_run() {
  head -n "$singles" "$work/requests" | while read -r _ pan _ pin; do
    "$bin" -calcpvv -pvki 1 -kpvfile "$work/kpv" -pan "$pan" -pin "$pin"
  done
}
batch_run() {
  "$bin" -batch -calcpvv -pvki 1 -kpvfile "$work/kpv" <"$work/requests" >"$work/answers"
}

read -r single_wall single_cpu < <(timed singles_run)
read -r batch_wall batch_cpu < <(timed batch_run)

failed=$(grep -vc '^0	[0-9]\{4\}$' "$work/answers" || true)
lines=$(wc -l <"$work/answers")
[ "$failed" -eq 0 ] && [ "$lines" -eq "$requests" ] ||
  { echo "the batch did not answer every request with a PVV" >&2; exit 1; }

# CPU time is the steadier figure on a busy machine; wall time is what a user waits.
awk -v sw="$single_wall" -v sc="$single_cpu" -v bw="$batch_wall" -v bc="$batch_cpu" \
    -v ns="$singles" -v nb="$requests" 'BEGIN {
  printf "%-18s %8s %9s %14s %14s\n", "", "requests", "wall s", "requests/s", "per CPU s"
  printf "%-18s %8d %9.3f %14.0f %14.0f\n", "single processes", ns, sw, ns / sw, ns / sc
  printf "%-18s %8d %9.3f %14.0f %14.0f\n", "one batch", nb, bw, nb / bw, nb / bc
  printf "batch / single: %.0f times faster per request (wall), %.0f (CPU)\n", \
    (nb / bw) / (ns / sw), (nb / bc) / (ns / sc)
}'
