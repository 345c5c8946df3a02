# Sourced by the benchmark scripts, with their arguments: sets here to the project folder and
# build to the build folder given, or configures and builds a Release tolvane (no tests, no
# benchmarks) in $here/$default_build.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$here/$default_build}
if [ ! -x "$build/tolvane" ] || [ ! -x "$build/bench/tolvane_floor" ] || [ -z "${1:-}" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTOLVANE_BUILD_TESTS=OFF \
    -DTOLVANE_BUILD_BENCH=ON >/dev/null
  cmake --build "$build" --target tolvane tolvane_floor -j2 >/dev/null
fi

# Test data shared by the scripts. cards N: N lines "PAN PIN", the PANs 15 digits counted up
# from 411111000000000 and completed with their Luhn digit, the PINs counted from 0000.
cards() {
  awk -v n="$1" 'BEGIN {
    for (i = 0; i < n; i++) {
      body = sprintf("411111%09d", i); sum = 0
      for (j = 15; j >= 1; j--) {
        d = substr(body, j, 1) + 0
        if ((15 - j) % 2 == 0) { d *= 2; if (d > 9) d -= 9 }
        sum += d
      }
      printf "%s%d %04d\n", body, (10 - sum % 10) % 10, i % 10000
    }
  }'
}
# counters N: N lines "COUNTER BITS", DUKPT transaction counters drawn at random (always the
# same) among those a terminal uses, at most ten of the 21 bits set, and how many are.
counters() {
  awk -v n="$1" 'BEGIN {
    seed = 12345
    for (i = 0; i < n; i++) {
      do {
        seed = (seed * 1103515245 + 12345) % 2147483648
        counter = 1 + int(seed / 1024) % 2097151
        bits = 0
        for (c = counter; c > 0; c = int(c / 2)) bits += c % 2
      } while (bits > 10)
      printf "%d %d\n", counter, bits
    }
  }'
}
