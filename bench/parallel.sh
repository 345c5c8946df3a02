#!/usr/bin/env bash
# Times one batch of REQUESTS -calcpvv requests against the same requests split over WORKERS
# batches by GNU parallel (--pipepart --keep-order), and prints the speed-up. The answers of both
# must be the same, byte for byte.
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
command=("$bin" -batch -locked -calcpvv -pvki 1 -kpv 0123456789ABCDEFFEDCBA9876543210)

seconds() { local start end; start=$(date +%s.%N); "$@"; end=$(date +%s.%N); echo "$end - $start" | bc; }
one=$(seconds sh -c '"$@" <"$0" >"$0.one"' "$work/requests" "${command[@]}")
# --pipepart reads the parts of the file itself, which spares the pipe through parallel.
split=$(seconds bash -c 'parallel --will-cite --pipepart -a "$0" --keep-order -j"$1" --block -4 "${@:2}" >"$0.split"' \
  "$work/requests" "$workers" "${command[@]}")
cmp -s "$work/requests.one" "$work/requests.split" || { echo "the answers differ" >&2; exit 1; }
awk -v n="$requests" -v w="$workers" -v a="$one" -v b="$split" -v cores="$(nproc)" 'BEGIN {
  printf "%d requests: one batch %.2f s (%.0f/s), %d workers %.2f s (%.0f/s): %.2f times as fast on %d cores\n",
    n, a, n / a, w, b, n / b, a / b, cores
}'
