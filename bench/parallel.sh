#!/usr/bin/env bash
# Times one batch of REQUESTS -calcpvv requests against the same requests split over WORKERS
# batches by GNU parallel (--pipepart --keep-order), and prints the speed-up. The answers of both
# must be the same, byte for byte. For comparison, the machine's own ceiling: the requests cut
# beforehand into WORKERS files, a batch on each, all at once, with no splitting or joining.
# ROUNDS rounds (default 3), each timing the three side by side, so that a round's figures share
# the machine's state; the speed-ups of each round, and their medians.
#
# Usage: bench/parallel.sh [build-dir]     (default: build-bench, configured for Release)
set -euo pipefail
default_build=build-bench
source "$(dirname "$0")/release_build.sh"
bin=$build/tolvane
requests=${REQUESTS:-10000000}
workers=${WORKERS:-2}
command -v parallel >/dev/null || { echo "GNU parallel is needed (apt-get install parallel)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cards "$requests" | awk '{ print "-pan " $1 " -pin " $2 }' >"$work/requests"
split -n "l/$workers" "$work/requests" "$work/part."
command=("$bin" -batch -locked -calcpvv -pvki 1 -kpv 0123456789ABCDEFFEDCBA9876543210)

seconds() { local start end; start=$(date +%s.%N); "$@"; end=$(date +%s.%N); echo "$end - $start" | bc; }
apart() {
  for part in "$work"/part.??; do "${command[@]}" <"$part" >"$part.out" & done
  wait
}
for _ in $(seq "${ROUNDS:-3}"); do
  one=$(seconds sh -c '"$@" <"$0" >"$0.one"' "$work/requests" "${command[@]}")
  # --pipepart reads the parts of the file itself, which spares the pipe through parallel; one
  # part a worker (--block -1) starts the fewest processes, and the parts take the same time.
  split=$(seconds bash -c 'parallel --will-cite --pipepart -a "$0" --keep-order -j"$1" --block -1 "${@:2}" >"$0.split"' \
    "$work/requests" "$workers" "${command[@]}")
  cmp -s "$work/requests.one" "$work/requests.split" || { echo "the answers differ" >&2; exit 1; }
  ceiling=$(seconds apart)
  awk -v n="$requests" -v w="$workers" -v a="$one" -v b="$split" -v c="$ceiling" -v cores="$(nproc)" 'BEGIN {
    printf "%d requests on %d cores: one batch %.2f s, %d workers %.2f s: %.2f times as fast (cut beforehand %.2f s: %.2f)\n",
      n, cores, a, w, b, a / b, c, a / c
  }'
done | tee "$work/rounds"
median() {
  sort -n | awk '{ x[NR] = $1 } END { printf "%.2f (%.2f to %.2f)", x[int((NR + 1) / 2)], x[1], x[NR] }'
}
printf 'median speed-up %s; cut beforehand %s\n' \
  "$(sed 's/.*: \([0-9.]*\) times as fast.*/\1/' "$work/rounds" | median)" \
  "$(sed 's/.*s: \([0-9.]*\))$/\1/' "$work/rounds" | median)"
