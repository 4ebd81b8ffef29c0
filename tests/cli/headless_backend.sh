#!/usr/bin/env bash
# Exec mode starts on the headless backend: the SDL library is
# never loaded, not even with no display, and the output is the cartridge's.
set -euo pipefail
build=$1
orrery=$build/orrery
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
printf 'orrery cartridge // headless test\nversion 12\n__lua__\nprinth("first frame")\nstop()\n' > "$dir/c.q7"

# The dynamic loader lists every library it loads on standard error.
env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER LD_DEBUG=libs \
  timeout 60 "$orrery" -home "$dir/home" -x "$dir/c.q7" > "$dir/out" 2> "$dir/err" || fail "exec mode exited with $?"
grep -q '^first frame' "$dir/err" || fail "the cartridge did not run"
grep -q 'calling init: .*libc\.so' "$dir/err" || fail "the loader's trace is missing"
if grep -qi 'libSDL2' "$dir/err"; then fail "exec mode loaded SDL"; fi
echo "exec mode ran without SDL"
