#!/bin/bash
# Shows that a batch split over two workers by GNU parallel, its blocks put back in order,
# answers byte for byte as one batch does: the pipe contract (answer line n for request line n)
# holds for any split at line ends. Exits 77 (skipped) where GNU parallel is not installed.
# Usage: parallel_check.sh TOLVANE
set -eu
tolvane=$1
command -v parallel >/dev/null || { echo "GNU parallel not found: not checked (apt-get install parallel)"; exit 77; }
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT

# 100,000 requests: PANs counted up with their Luhn digit, PINs counted, and a bad line now and
# then, so that failed requests travel too.
awk 'BEGIN {
  for (i = 0; i < 100000; i++) {
    body = sprintf("411111%09d", i); sum = 0
    for (j = 15; j >= 1; j--) {
      d = substr(body, j, 1) + 0
      if ((15 - j) % 2 == 0) { d *= 2; if (d > 9) d -= 9 }
      sum += d
    }
    printf "-pan %s%d -pin %04d%s\n", body, (10 - sum % 10) % 10, i % 10000, i % 997 ? "" : "9999999999999"
  }
}' >"$work/requests"
command=("$tolvane" -batch -calcpvv -pvki 1 -kpv 0123456789ABCDEFFEDCBA9876543210)

"${command[@]}" <"$work/requests" >"$work/one" || true
parallel --will-cite --pipe --keep-order -j2 --block 256k "${command[@]}" <"$work/requests" \
  >"$work/split" || true
if cmp "$work/one" "$work/split"; then
  echo "ok: $(wc -l <"$work/one") answers, the same from one batch and from two workers"
else
  echo "the answers of two workers differ from one batch's"
  exit 1
fi
