#!/usr/bin/env bash
# Runs every fuzz target for longer than the test run's shared budget:
#   scripts/fuzz.sh [SECONDS]     (each target, default 300)
# Builds the sanitizer build folder's fuzz targets first. Inputs that grow
# coverage collect in build-asan/fuzz-corpus/<target>; a crash leaves its
# input in the current folder and ends the script with status 1.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-300}
case $seconds in
  ''|*[!0-9]*) echo "usage: $0 [SECONDS]" >&2; exit 2 ;;
esac
"$here/scripts/setup.sh" || exit 1

build=$here/build-asan
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORRERY_SANITIZE=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DORRERY_FUZZ=ON -DORRERY_BENCH=OFF >/dev/null || exit 1
targets=()
for f in "$here"/tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
cmake --build "$build" -j "${ORRERY_JOBS:-$(nproc)}" --target "${targets[@]}" || exit 1

status=0
for t in "${targets[@]}"; do
  echo "== $t: ${seconds}s"
  mkdir -p "$build/fuzz-corpus/$t"
  # The targets that start the console read data.pod from the build folder.
  (cd "$build/tests" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 \
    "$build/tests/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    "$build/fuzz-corpus/$t" "$here/tests/fuzz/seeds/$t") || status=1
done
exit "$status"
