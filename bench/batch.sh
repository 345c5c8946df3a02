#!/usr/bin/env bash
# Times batch mode: for each kind of request, requests per second over REQUESTS requests (wall
# and CPU time) and instructions per request (callgrind over COUNTED requests, less an empty
# batch with the same command line). Then single processes against one batch for -calcpvv.
# Every request has its own PAN (with a valid check digit) and PIN, or its own message of 64
# random bytes; keys are given once. The -calcmac requests are also counted beside their floor,
# bench/floor: a lean loop that decodes, MACs and answers the same lines on the same engines.
#
# Usage: bench/batch.sh [build-dir]     (default: build-bench, configured for Release)
set -euo pipefail
default_build=build-bench
source "$(dirname "$0")/release_build.sh"
bin=$build/tolvane
singles=${SINGLES:-1000}
requests=${REQUESTS:-100000}
counted=${COUNTED:-20000}
command -v valgrind >/dev/null || { echo "valgrind is needed" >&2; exit 1; }
# The floor of the -calcmac requests, built beside the program with the same settings.
if [ ! -x "$build/bench/floor" ]; then
  cmake "$build" -DTOLVANE_BUILD_BENCH=ON >/dev/null
  cmake --build "$build" --target floor -j2 >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
kpv=0123456789ABCDEFFEDCBA9876543210
kpe=${kpv}89ABCDEF01234567
aes=C1D0F8FB4958670DBA40AB1F3752EF0D
printf '%s' $kpv | xxd -r -p >"$work/kpv"

# PANs: 15 digits counted up from a start, completed with their Luhn digit; PINs counted too.
awk -v n="$requests" 'BEGIN {
  for (i = 0; i < n; i++) {
    body = sprintf("411111%09d", i); sum = 0
    for (j = 15; j >= 1; j--) {
      d = substr(body, j, 1) + 0
      if ((15 - j) % 2 == 0) { d *= 2; if (d > 9) d -= 9 }
      sum += d
    }
    printf "%s%d %04d\n", body, (10 - sum % 10) % 10, i % 10000
  }
}' >"$work/cards"
awk '{ print "-pan " $1 " -pin " $2 }' "$work/cards" >"$work/calcpvv"
cp "$work/calcpvv" "$work/calcpinblock"
awk '{ print "-pan " $1 }' "$work/cards" >"$work/verifypan"
# Format-0 blocks under the three-key KPE, made by the program itself, to translate.
"$bin" -batch -calcpinblock -kpe $kpe <"$work/calcpinblock" | cut -f2 |
  paste -d' ' - "$work/cards" | awk '{ print "-pinblock " $1 " -pan " $2 }' >"$work/translate"

# Messages of 64 random bytes for -calcmac, one request each.
od -An -vtx1 -N $((64 * requests)) /dev/urandom | tr -d ' \n' | fold -w 128 |
  sed 's/^/-data /' >"$work/calcmac"

# name, then the command line of the batch; a -calcmac workload also names its floor
workloads=(
  "-calcpvv|-calcpvv -pvki 1 -kpvfile $work/kpv"
  "-calcpinblock, three-key KPE|-calcpinblock -kpe $kpe"
  "-verifypan|-verifypan"
  "-translate, format 0 to format 4|-translate -kpe $kpe -toformat 4 -tokpeaes $aes"
  "-calcmac, retail MAC, 64 bytes|-calcmac -macalg iso9797-3 -mak $kpv|retail"
  "-calcmac, AES CMAC, 64 bytes|-calcmac -macalg cmac -makaes $aes|cmac"
  "-calcmac, HMAC-SHA256, 64 bytes|-calcmac -macalg hmac-sha256 -makhmac $aes|hmac"
)

# Wall-clock and CPU seconds (user + system, children included) of a command, on one line.
timed() {
  local TIMEFORMAT='%R %U %S'
  { time "$@" >/dev/null; } 2>&1 | awk '{ print $1, $2 + $3 }'
}
instructions_of() {
  env -i valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}
instructions() { instructions_of "$bin" "$@"; }

printf '%-34s %14s %14s %16s\n' "batch of" "requests/s" "per CPU s" "instructions/req"
floors=()
for workload in "${workloads[@]}"; do
  name=${workload%%|*}
  rest=${workload#*|}
  floor=
  [ "${rest#*|}" != "$rest" ] && floor=${rest#*|} && rest=${rest%%|*}
  read -ra args <<<"$rest"
  file=$work/${args[0]#-}
  "$bin" -batch "${args[@]}" <"$file" | grep -qv '^0	' &&
    { echo "$name: a request failed" >&2; exit 1; }
  batch_run() { "$bin" -batch "${args[@]}" <"$file"; }
  read -r wall cpu < <(timed batch_run)
  head -n "$counted" "$file" >"$work/counted"
  full=$(instructions -batch "${args[@]}" <"$work/counted")
  empty=$(instructions -batch "${args[@]}" </dev/null)
  awk -v name="$name" -v n="$requests" -v w="$wall" -v c="$cpu" -v f="$full" -v e="$empty" \
    -v k="$counted" 'BEGIN { printf "%-34s %14.0f %14.0f %16.0f\n", name, n / w, n / c, (f - e) / k }'
  if [ -n "$floor" ]; then
    # The floor: bench/floor on the same requests, its answers the same.
    cmp -s <("$build/bench/floor" "$floor" <"$file") <("$bin" -batch "${args[@]}" <"$file") ||
      { echo "$name: the floor answers differently" >&2; exit 1; }
    floor_full=$(instructions_of "$build/bench/floor" "$floor" <"$work/counted")
    floor_empty=$(instructions_of "$build/bench/floor" "$floor" </dev/null)
    floors+=("$(awk -v name="$name" -v f="$full" -v e="$empty" -v g="$floor_full" \
      -v h="$floor_empty" -v k="$counted" 'BEGIN {
      printf "%-34s %10.0f %10.0f %8.2f", name, (f - e) / k, (g - h) / k, (f - e) / (g - h) }')")
  fi
done
if [ ${#floors[@]} -gt 0 ]; then
  printf '\n%-34s %10s %10s %8s\n' "instructions per request" "tolvane" "floor" "ratio"
  printf '%s\n' "${floors[@]}"
fi

singles_run() {
  head -n "$singles" "$work/cards" | while read -r pan pin; do
    "$bin" -calcpvv -pvki 1 -kpvfile "$work/kpv" -pan "$pan" -pin "$pin"
  done
}
read -r single_wall single_cpu < <(timed singles_run)
args=(-calcpvv -pvki 1 -kpvfile "$work/kpv")
file=$work/calcpvv
read -r batch_wall batch_cpu < <(timed batch_run)
awk -v sw="$single_wall" -v sc="$single_cpu" -v bw="$batch_wall" -v bc="$batch_cpu" \
    -v ns="$singles" -v nb="$requests" 'BEGIN {
  printf "-calcpvv as single processes: %.0f per second (wall), %.0f per CPU second\n", ns / sw, ns / sc
  printf "batch / single: %.0f times faster per request (wall), %.0f (CPU)\n", \
    (nb / bw) / (ns / sw), (nb / bc) / (ns / sc)
}'
