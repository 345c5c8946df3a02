#!/usr/bin/env bash
# Times batch mode against its floor. For each kind of request: requests per second over
# REQUESTS requests (wall and CPU time), instructions per request (callgrind over COUNTED
# requests, less an empty batch with the same command line), the same for the lean loop of
# bench/floor.cpp on the same engine (the floor), and the ratio of the two. Then the cost per
# -calcpvv request from 1 000 to 10 000 000 requests, and single processes against one batch.
# Every request has its own PAN (with a valid check digit) and PIN, DUKPT requests their own
# KSN, and ARQCs their own card and ATC; keys are given once.
#
# Usage: bench/batch.sh [build-dir]     (default: build-bench, configured for Release)
set -euo pipefail
default_build=build-bench
source "$(dirname "$0")/release_build.sh"
bin=$build/tolvane
floor=$build/bench/tolvane_floor
singles=${SINGLES:-1000}
requests=${REQUESTS:-100000}
counted=${COUNTED:-20000}
command -v valgrind >/dev/null || { echo "valgrind is needed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
kpv=0123456789ABCDEFFEDCBA9876543210
kpe=${kpv}89ABCDEF01234567
aes=C1D0F8FB4958670DBA40AB1F3752EF0D
bdkaes=FEDCBA9876543210F1F1F1F1F1F1F1F1
pan=4111111111111111
printf '%s' $kpv | xxd -r -p >"$work/kpv"

# A card a line: PAN, PIN, a Triple-DES KSN and an AES one, the DUKPT counters drawn as
# bench/dukpt.sh draws them.
paste -d' ' <(cards "$requests") <(counters "$requests") | awk '{
  i = NR - 1
  printf "%s %s %s %s\n", $1, $2, sprintf("FFFF98765%05X%06X", i % 997, $3), sprintf("0123456789ABCDEF%08X", $3)
}' >"$work/cards"
awk '{ print "-pan " $1 " -pin " $2 }' "$work/cards" >"$work/calcpvv"
cp "$work/calcpvv" "$work/calcpinblock"
awk '{ print "-pan " $1 }' "$work/cards" >"$work/verifypan"
# Messages of 64 random bytes for -calcmac, one request each.
od -An -vtx1 -N $((64 * requests)) /dev/urandom | tr -d ' \n' | fold -w 128 |
  sed 's/^/-data /' >"$work/calcmac"
# Blocks made by the program itself: format 0 under the three-key KPE to translate, and blocks
# of each DUKPT transaction, as the terminals would have sent them.
made() { "$bin" -batch "$@" | cut -f2; }
awk '{ print "-pan " $1 " -pin " $2 }' "$work/cards" | made -calcpinblock -kpe $kpe |
  paste -d' ' - "$work/cards" | awk '{ print "-pinblock " $1 " -pan " $2 }' >"$work/translate"
awk '{ print "-ksn " $3 " -pin " $2 }' "$work/cards" | made -calcpinblock -pan $pan -bdk $kpv |
  paste -d' ' - "$work/cards" | awk '{ print "-ksn " $4 " -pinblock " $1 }' >"$work/dukpt"
awk '{ print "-ksn " $4 " -pin " $2 }' "$work/cards" |
  made -calcpinblock -format 4 -pan $pan -bdkaes $bdkaes |
  paste -d' ' - "$work/cards" | awk '{ print "-ksn " $5 " -pinblockaes " $1 }' >"$work/dukptaes"
# An issuer's authorisation check: ARQCs the program made for each card, under an IMK with
# option A, the EMV common session key and padding 2, each with its own ATC; all must verify.
arqc_settings="-imk $kpv -mkd a -skd emv -acpad 2"
acdata=0000000040000000000000000124800004800001241911050152BF45851800001C03A06010
awk -v d=$acdata '{ printf "-pan %s -psn 01 -atc %04X -acdata %s\n", $1, NR % 65536, d }' \
  "$work/cards" >"$work/calcarqc"
# shellcheck disable=SC2086
made -calcarqc $arqc_settings <"$work/calcarqc" | paste -d' ' "$work/calcarqc" - |
  awk '{ $(NF + 1) = $NF; $(NF - 1) = "-arqc"; print }' >"$work/verifyarqc"
# shellcheck disable=SC2086
"$bin" -batch -verifyarqc $arqc_settings <"$work/verifyarqc" | grep -qv '^0	Y$' &&
  { echo "an ARQC the program made does not verify" >&2; exit 1; }

# name | requests file | the batch's command line | the floor's arguments
workloads=(
  "-calcpvv|calcpvv|-calcpvv -pvki 1 -kpvfile $work/kpv|calcpvv $kpv"
  "-calcpinblock, three-key KPE|calcpinblock|-calcpinblock -kpe $kpe|calcpinblock $kpe"
  "-verifypan|verifypan|-verifypan|verifypan"
  "-translate, format 0 to format 4|translate|-translate -kpe $kpe -toformat 4 -tokpeaes $aes|translate $kpe $aes"
  "DUKPT block, Triple-DES|dukpt|-uncalcpinblock -pan $pan -bdk $kpv|dukpt $kpv $pan"
  "DUKPT block, AES|dukptaes|-uncalcpinblock -format 4 -pan $pan -bdkaes $bdkaes|dukptaes $bdkaes $pan"
  "-verifyarqc, locked IMK|verifyarqc|-verifyarqc -locked $arqc_settings|verifyarqc $kpv"
  "-calcmac, retail MAC, 64 bytes|calcmac|-calcmac -macalg iso9797-3 -mak $kpv|macretail $kpv"
  "-calcmac, AES CMAC, 64 bytes|calcmac|-calcmac -macalg cmac -makaes $aes|maccmac $aes"
  "-calcmac, HMAC-SHA256, 64 bytes|calcmac|-calcmac -macalg hmac-sha256 -makhmac $aes|machmac $aes"
)

# Wall-clock and CPU seconds (user + system, children included) of a command, on one line.
timed() {
  local TIMEFORMAT='%R %U %S'
  { time "$@" >/dev/null; } 2>&1 | awk '{ print $1, $2 + $3 }'
}
# Instructions of a run in an empty environment, as bench/startup.sh counts them.
instructions() {
  env -i valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}

printf '%-34s %12s %12s %12s %10s %6s\n' "batch of" "requests/s" "per CPU s" "instr./req" \
  "floor" "ratio"
for workload in "${workloads[@]}"; do
  IFS='|' read -r name file line floorArgs <<<"$workload"
  read -ra args <<<"$line"
  read -ra floorArgs <<<"$floorArgs"
  file=$work/$file
  "$bin" -batch "${args[@]}" <"$file" | grep -qv '^0	' &&
    { echo "$name: a request failed" >&2; exit 1; }
  # The floor must answer as the batch does (blocks with a random fill: their status only).
  keep=cat
  case ${floorArgs[0]} in calcpinblock | translate) keep="cut -f1" ;; esac
  cmp -s <("$floor" "${floorArgs[@]}" <"$file" | $keep) <("$bin" -batch "${args[@]}" <"$file" | $keep) ||
    { echo "$name: the floor does not answer as the batch does" >&2; exit 1; }
  batch_run() { "$bin" -batch "${args[@]}" <"$file"; }
  read -r wall cpu < <(timed batch_run)
  head -n "$counted" "$file" >"$work/counted"
  full=$(instructions "$bin" -batch "${args[@]}" <"$work/counted")
  empty=$(instructions "$bin" -batch "${args[@]}" </dev/null)
  floorFull=$(instructions "$floor" "${floorArgs[@]}" <"$work/counted")
  floorEmpty=$(instructions "$floor" "${floorArgs[@]}" </dev/null)
  awk -v name="$name" -v n="$requests" -v w="$wall" -v c="$cpu" -v f="$full" -v e="$empty" \
    -v ff="$floorFull" -v fe="$floorEmpty" -v k="$counted" 'BEGIN {
    mine = (f - e) / k; lean = (ff - fe) / k
    printf "%-34s %12.0f %12.0f %12.0f %10.0f %6.2f\n", name, n / w, n / c, mine, lean, mine / lean
  }'
done
printf '%-34s %12s\n' "an empty batch (-calcpvv)" \
  "$(instructions "$bin" -batch -calcpvv -pvki 1 -kpvfile "$work/kpv" </dev/null) instructions"

# Cost per request as a batch grows: -calcpvv requests of a file, at each size the peak memory
# of the batch (GNU time), callgrind's instructions per request (less an empty batch) up to
# 100 000 requests, and from 100 000 up the CPU time per request (best of three).
flat=(-batch -calcpvv -pvki 1 -kpvfile "$work/kpv")
printf '%-12s %14s %12s %16s\n' "requests" "peak memory" "instr./req" "CPU ns/request"
empty=$(instructions "$bin" "${flat[@]}" </dev/null)
for n in 1000 10000 100000 1000000 10000000; do
  cards "$n" | awk '{ print "-pan " $1 " -pin " $2 }' >"$work/flat"
  kib=$(/usr/bin/time -f '%M' "$bin" "${flat[@]}" <"$work/flat" 2>&1 >/dev/null)
  per=-
  if [ "$n" -le 100000 ]; then
    per=$(( ($(instructions "$bin" "${flat[@]}" <"$work/flat") - empty) / n ))
  fi
  ns=-
  if [ "$n" -ge 100000 ]; then
    ns=$(for _ in 1 2 3; do
      { TIMEFORMAT='%3U %3S'; time "$bin" "${flat[@]}" <"$work/flat" >/dev/null; } 2>&1
    done | awk -v n="$n" '{ t = ($1 + $2) * 1e9 / n; if (NR == 1 || t < best) best = t }
      END { printf "%.0f", best }')
  fi
  printf '%-12d %10d KiB %12s %16s\n' "$n" "$kib" "$per" "$ns"
done
rm -f "$work/flat"

singles_run() {
  head -n "$singles" "$work/cards" | while read -r card pin _; do
    "$bin" -calcpvv -pvki 1 -kpvfile "$work/kpv" -pan "$card" -pin "$pin"
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
