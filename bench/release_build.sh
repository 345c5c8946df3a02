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
