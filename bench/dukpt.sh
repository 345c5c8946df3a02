#!/usr/bin/env bash
# Decodes Triple-DES DUKPT PIN blocks in one batch run, each request with its own KSN, and prints
# requests per second (wall and CPU) and instructions per request: callgrind's count for a batch
# of many requests less its count for an empty batch, over the number of requests. The BDK is
# read once, from a file. The blocks are made first, by the program itself in a batch of
# -calcpinblock requests, as the terminals would have sent them.
#
# The KSNs are spread over 997 devices, and their counters are drawn at random from those a
# terminal uses (at most ten of the 21 bits set): the work of a KSN grows with its bits set, and
# the script prints their mean.
#
# Usage: bench/dukpt.sh [build-dir]     (default: build-bench, configured for Release)
set -euo pipefail
default_build=build-bench
source "$(dirname "$0")/release_build.sh"
bin=$build/tolvane
requests=${REQUESTS:-100000}
counted=${COUNTED:-2000}
command -v valgrind >/dev/null || { echo "valgrind is needed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '\x01\x23\x45\x67\x89\xAB\xCD\xEF\xFE\xDC\xBA\x98\x76\x54\x32\x10' >"$work/bdk"
pan=4111111111111111

# One line per request: the KSN, the PIN, and the counter's bits set.
counters "$requests" | awk '{
  i = NR - 1
  printf "%s %04d %d\n", sprintf("FFFF98765%05X%06X", i % 997, $1), i % 10000, $2
}' >"$work/transactions"

awk '{ print "-ksn", $1, "-pin", $2 }' "$work/transactions" |
  "$bin" -batch -calcpinblock -pan "$pan" -bdkfile "$work/bdk" >"$work/made"
[ "$(grep -c '^0	[0-9A-F]\{16\}$' "$work/made")" -eq "$requests" ] ||
  { echo "the blocks could not all be made" >&2; exit 1; }
paste -d ' ' "$work/transactions" "$work/made" |
  awk '{ print "-ksn", $1, "-pinblock", $5 }' >"$work/requests" # $4 is the status 0
decode() {
  "$bin" -batch -uncalcpinblock -pan "$pan" -bdkfile "$work/bdk"
}

# Wall-clock and CPU seconds (user + system) of the decoding batch, on one line.
timed() {
  local TIMEFORMAT='%R %U %S'
  { time decode <"$work/requests" >"$work/answers"; } 2>&1 | awk '{ print $1, $2 + $3 }'
}
read -r wall cpu < <(timed)
awk '{ print "0\t" $2 }' "$work/transactions" | cmp -s - "$work/answers" ||
  { echo "the batch did not decode every block to its PIN" >&2; exit 1; }

# Instructions in an empty environment, as bench/startup.sh counts them.
instructions() {
  local out
  out=$(mktemp)
  env -i valgrind --tool=callgrind --callgrind-out-file="$out" "$bin" -batch -uncalcpinblock \
    -pan "$pan" -bdkfile "$work/bdk" >/dev/null 2>"$out.log"
  sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$out.log"
  rm -f "$out" "$out.log"
}
full=$(head -n "$counted" "$work/requests" | instructions)
empty=$(instructions </dev/null)
bits=$(head -n "$counted" "$work/transactions" | awk '{ s += $3 } END { printf "%.1f", s / NR }')

awk -v w="$wall" -v c="$cpu" -v n="$requests" -v full="$full" -v empty="$empty" \
    -v m="$counted" -v bits="$bits" 'BEGIN {
  printf "%8s %9s %14s %14s %16s\n", "requests", "wall s", "requests/s", "per CPU s", "instr./request"
  printf "%8d %9.3f %14.0f %14.0f %16.0f\n", n, w, n / w, n / c, (full - empty) / m
  printf "(instructions over %d requests, counters with %s bits set on average)\n", m, bits
}'
