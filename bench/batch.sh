#!/usr/bin/env bash
# Times batch mode: for each kind of request, requests per second over REQUESTS requests (wall
# and CPU time) and instructions per request (callgrind over COUNTED requests, less an empty
# batch with the same command line). Then single processes against one batch for -calcpvv, and
# an issuer's -verifyarqc batch against its floor: the same requests answered on the same engine
# by bench/floor.cpp, with nothing around the work. Every request has its own PAN (with a valid
# check digit) and PIN, or ATC; keys are given once.
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
# ARQCs of the cards, each with its own ATC, made by the program itself, to verify.
imk=$kpv
acdata=0000000040000000000000000124800004800001241911050152BF45851800001C03A06010
arqc_settings=(-imk $imk -mkd a -skd emv -acpad 2)
awk -v d=$acdata '{ printf "-pan %s -psn 01 -atc %04X -acdata %s\n", $1, NR % 65536, d }' \
  "$work/cards" >"$work/calcarqc"
"$bin" -batch -calcarqc "${arqc_settings[@]}" <"$work/calcarqc" | cut -f2 |
  paste -d' ' "$work/calcarqc" - | awk '{ $(NF + 1) = $NF; $(NF - 1) = "-arqc"; print }' \
  >"$work/verifyarqc"
# Format-0 blocks under the three-key KPE, made by the program itself, to translate.
"$bin" -batch -calcpinblock -kpe $kpe <"$work/calcpinblock" | cut -f2 |
  paste -d' ' - "$work/cards" | awk '{ print "-pinblock " $1 " -pan " $2 }' >"$work/translate"

# name, then the command line of the batch
workloads=(
  "-calcpvv|-calcpvv -pvki 1 -kpvfile $work/kpv"
  "-calcpinblock, three-key KPE|-calcpinblock -kpe $kpe"
  "-verifypan|-verifypan"
  "-translate, format 0 to format 4|-translate -kpe $kpe -toformat 4 -tokpeaes $aes"
  "-verifyarqc, locked IMK|-verifyarqc -locked ${arqc_settings[*]}"
)

# Wall-clock and CPU seconds (user + system, children included) of a command, on one line.
timed() {
  local TIMEFORMAT='%R %U %S'
  { time "$@" >/dev/null; } 2>&1 | awk '{ print $1, $2 + $3 }'
}
instructions() { instructions_of "$bin" "$@"; }
instructions_of() {
  env -i valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}

printf '%-34s %14s %14s %16s\n' "batch of" "requests/s" "per CPU s" "instructions/req"
for workload in "${workloads[@]}"; do
  name=${workload%%|*}
  read -ra args <<<"${workload#*|}"
  file=$work/${args[0]#-}
  "$bin" -batch "${args[@]}" <"$file" | grep -qv '^0	' &&
    { echo "$name: a request failed" >&2; exit 1; }
  if [ "${args[0]}" = -verifyarqc ] && "$bin" -batch "${args[@]}" <"$file" | grep -qv '^0	Y$'; then
    echo "$name: an ARQC did not verify" >&2
    exit 1
  fi
  batch_run() { "$bin" -batch "${args[@]}" <"$file"; }
  read -r wall cpu < <(timed batch_run)
  head -n "$counted" "$file" >"$work/counted"
  full=$(instructions -batch "${args[@]}" <"$work/counted")
  empty=$(instructions -batch "${args[@]}" </dev/null)
  awk -v name="$name" -v n="$requests" -v w="$wall" -v c="$cpu" -v f="$full" -v e="$empty" \
    -v k="$counted" 'BEGIN { printf "%-34s %14.0f %14.0f %16.0f\n", name, n / w, n / c, (f - e) / k }'
  if [ "${args[0]}" = -verifyarqc ]; then
    arqc_batch=$(awk -v f="$full" -v e="$empty" -v k="$counted" 'BEGIN { print (f - e) / k }')
  fi
done

# The floor of the -verifyarqc batch: bench/floor.cpp on the same requests, built on the same
# library; its answers must be the batch's.
cmake -S "$here" -B "$build" -DTOLVANE_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target floor -j2 >/dev/null
floor=$build/bench/floor
cmp -s <("$floor" verifyarqc $imk <"$work/verifyarqc") \
  <("$bin" -batch -verifyarqc "${arqc_settings[@]}" <"$work/verifyarqc") ||
  { echo "floor: its answers differ from the batch's" >&2; exit 1; }
head -n "$counted" "$work/verifyarqc" >"$work/counted"
floor_full=$(instructions_of "$floor" verifyarqc $imk <"$work/counted")
floor_empty=$(instructions_of "$floor" verifyarqc $imk </dev/null)
awk -v b="$arqc_batch" -v f="$floor_full" -v e="$floor_empty" -v k="$counted" 'BEGIN {
  floor = (f - e) / k
  printf "-verifyarqc floor (bench/floor.cpp): %.0f instructions per request; batch / floor %.2f\n", \
    floor, b / floor
}'

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
