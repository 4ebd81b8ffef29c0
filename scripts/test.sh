#!/usr/bin/env bash
# Sets the machine up, builds orrery and runs every test: the layer check of
# the source folders' includes, the unit and command-line tests in a normal
# build (under a virtual X display), again under AddressSanitizer and
# UndefinedBehaviorSanitizer with the fuzz targets sharing a fixed time
# budget, the audio tests under ThreadSanitizer, and last the web build
# with its tests against the native build.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh" --tests || exit 1

# Seconds each phase took, printed at the end: "name seconds" lines.
times=()
mark=0  # the script's own start
phase() {
  times+=("$1 $((SECONDS - mark))s")
  mark=$SECONDS
}
phase "set-up"

jobs=${ORRERY_JOBS:-$(nproc)}
passed=0
failed=0
failures=()

# Runs ctest in a build folder and adds its counts to the totals.
run_ctest() {
  local dir=$1; shift
  local log
  log=$(mktemp)
  (cd "$dir" && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j "$jobs" "$@") 2>&1 | tee "$log"
  local p f
  p=$(sed -n 's/.* \([0-9][0-9]*\) tests failed out of \([0-9][0-9]*\).*/\2 \1/p' "$log" | tail -n1)
  if [ -n "$p" ]; then
    f=${p#* }; p=${p% *}; p=$((p - f))
  else
    p=$(grep -c ' Passed ' "$log" || true); f=0
    grep -q '100% tests passed' "$log" || f=1
  fi
  passed=$((passed + p)); failed=$((failed + f))
  [ "$f" -eq 0 ] || failures+=("$dir")
  rm -f "$log"
}

# No source folder includes the headers of a layer above it.
if "$here/scripts/layers.sh"; then
  passed=$((passed + 1))
else
  failed=$((failed + 1)); failures+=("layer check")
fi

build() {
  local dir=$1; shift
  cmake -S "$here" -B "$dir" -G Ninja "$@" >/dev/null && cmake --build "$dir" -j "$jobs"
}

if build "$here/build" -DORRERY_TESTS=ON -DORRERY_BENCH=ON; then
  phase "native build"
  run_ctest "$here/build"
  phase "native tests"
else
  failed=$((failed + 1)); failures+=("build")
fi

if build "$here/build-asan" -DCMAKE_BUILD_TYPE=Debug -DORRERY_SANITIZE=ON \
     -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DORRERY_FUZZ=ON -DORRERY_BENCH=OFF; then
  phase "sanitizer build"
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 run_ctest "$here/build-asan"
  phase "sanitizer tests and fuzzing"
else
  failed=$((failed + 1)); failures+=("sanitizer build")
fi

# Only the tests with a second thread, in a program of their own: the mixer
# runs on the audio device's thread while the main thread starts and stops
# sounds, and a GIF is written by a worker while recording goes on.
if cmake -S "$here" -B "$here/build-tsan" -G Ninja -DORRERY_TSAN=ON -DORRERY_BENCH=OFF >/dev/null &&
   cmake --build "$here/build-tsan" -j "$jobs" --target orrery_thread_tests; then
  phase "thread sanitizer build"
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run_ctest "$here/build-tsan" -R '^Audio|^GifRecording|^CaptureKeys'
  phase "thread sanitizer tests"
else
  failed=$((failed + 1)); failures+=("thread sanitizer build")
fi

# The web build and its tests, after the native ones they compare with:
# the node programs against build/, the web player in chromium. Skipped,
# with the reason, only where emscripten or chromium cannot be installed.
if [ -x "$here/build/orrery" ]; then
  ORRERY_NATIVE_BUILD_DIR="$here/build" "$here/scripts/web-build.sh"
  status=$?
  phase "web libraries and build"
  case $status in
    0) run_ctest "$here/build-web"; phase "web tests" ;;
    77) echo "SKIPPED: the web build and its tests (emscripten, chromium or npm cannot be installed here)" ;;
    *) failed=$((failed + 1)); failures+=("web build") ;;
  esac
fi

echo
printf 'time: %s\n' "${times[@]}"
[ ${#failures[@]} -eq 0 ] || echo "failures in: ${failures[*]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
