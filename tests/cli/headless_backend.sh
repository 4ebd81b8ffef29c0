#!/usr/bin/env bash
# Exec mode starts on the headless backend: with no display and the
# platform's real drivers, the SDL library is never loaded, the output is
# the cartridge's, and the log shows the page set up and the settings saved.
set -euo pipefail
build=$1
orrery=$build/orrery
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
printf 'orrery cartridge // headless test\nversion 12\n__lua__\nprinth("first frame")\nstop()\n' > "$dir/c.q7"

# The dynamic loader lists every library it loads on standard error.
env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER LD_DEBUG=libs \
  timeout 60 "$orrery" -home "$dir/home" -x "$dir/c.q7" > "$dir/out" 2> "$dir/err" || fail "exec mode exited with $?"
grep -q '^first frame' "$dir/err" || fail "the cartridge did not run"
grep -q 'calling init: .*libc\.so' "$dir/err" || fail "the loader's trace is missing"
if grep -qi 'libSDL2' "$dir/err"; then fail "exec mode loaded SDL"; fi
grep -q 'vell_set_screen 128 128 8 100' "$dir/home/log.txt" || fail "no page: $(cat "$dir/home/log.txt")"
grep -q 'vell_config_save' "$dir/home/log.txt" || fail "settings not saved: $(cat "$dir/home/log.txt")"
echo "exec mode ran without SDL"
