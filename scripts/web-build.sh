#!/usr/bin/env bash
# Builds the console for the web with Debian's emscripten, in a build folder
# of its own (build-web/ unless ORRERY_WEB_BUILD_DIR says otherwise):
# orrery.js and the tools for node (exec mode, with the host's files) and
# the web player in player/ (index.html, orrery.js, orrery.wasm), which is
# then copied beside the native program into build/web/ (or
# ORRERY_NATIVE_BUILD_DIR/web/), where `orrery -export_web` finds it. The
# libraries come from scripts/web-deps.sh, built once per machine; Debian's
# chromium and npm are installed for the player's test (status 77 when
# they, or emscripten, cannot be installed). `ctest` in the build folder
# then compares the web build with the native one in build/.
#
# node 20 runs the output only with --no-experimental-fetch, for instance:
#   node --no-experimental-fetch build-web/orrery.js -x game.q7
# ORRERY_JOBS: parallel jobs (default: the number of cores).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}
dir=${ORRERY_WEB_BUILD_DIR:-$here/build-web}
jobs=${ORRERY_JOBS:-$(nproc)}

# The native build's packages and Lua's source; Debian's emscripten, and
# the chromium and npm (for playwright-core) of the player's test. A machine
# that cannot have them ends the script with status 77, which scripts/test.sh
# reports as a skip.
"$here/scripts/setup.sh"
missing=()
# A command already on the path counts (node's own packaging brings npm
# with it and conflicts with Debian's npm package).
for p in emscripten:emcc chromium:chromium npm:npm; do
  command -v "${p#*:}" >/dev/null || missing+=("${p%%:*}")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "web-build: installing ${missing[*]}" >&2
  if ! { as_root apt-get update -qq &&
         as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; }; then
    echo "web-build: could not install ${missing[*]}" >&2
    exit 77
  fi
fi
# Then the web libraries.
prefix=$("$here/scripts/web-deps.sh")
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

# A build folder set up with the libraries of another prefix (an older
# recipe) is set up afresh: its cache holds their paths.
if [ "$(cat "$dir/.web-prefix" 2>/dev/null)" != "$prefix" ]; then
  rm -f "$dir/CMakeCache.txt"
fi
# The libraries are found in the prefix alone (emscripten's toolchain file
# looks only below the roots it is given), pkg-config's through
# CMAKE_PREFIX_PATH so that a later re-run of cmake finds them too.
emcmake cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$(command -v node);--no-experimental-fetch" \
  -DORRERY_TESTS=OFF -DORRERY_BENCH=OFF >/dev/null
echo "$prefix" >"$dir/.web-prefix"
cmake --build "$dir" -j "$jobs"

# The web player beside the native program, where `orrery -export_web`
# looks for it (the native build's install copies it from there).
native=${ORRERY_NATIVE_BUILD_DIR:-$here/build}
if [ -d "$native" ]; then
  mkdir -p "$native/web"
  cp "$dir/player/index.html" "$dir/player/orrery.js" "$dir/player/orrery.wasm" "$native/web/"
fi
