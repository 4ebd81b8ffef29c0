#!/usr/bin/env bash
# orrery-capture runs a cartridge without waiting for the clock and writes
# its screen as a PNG or its first seconds as a GIF, which ImageMagick and
# gifsicle read back; bad command lines and unwritable files fail with
# their own exit codes.
set -euo pipefail
build=$1
capture=$build/orrery-capture
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# Each frame clears the screen to the frame number modulo 16.
cart() {
  printf 'orrery cartridge // capture test\nversion 12\n__lua__\n'
  printf 'f=0\nfunction %s() f+=1 end\nfunction _draw() cls(f%%16) end\n' "$1"
}
cart _update > "$dir/thirty.q7"
cart _update60 > "$dir/sixty.q7"

# Colour at (5,5) as RRGGBB; the palette's 1, 12 and 14.
colour() { convert "$1" -depth 8 -format '%[hex:p{5,5}]' info: | cut -c1-6; }
c1=1C2342 c12=3C89D8 c14=F58DB2

# One second is 30 frames at 30 a second and 60 at 60.
"$capture" "$dir/thirty.q7" "$dir/thirty.png" 1 || fail "png exited with $?"
[ "$(identify -format %wx%h "$dir/thirty.png")" = 384x384 ] || fail "default screenshot scale"
[ "$(colour "$dir/thirty.png")" = $c14 ] || fail "30 fps: colour $(colour "$dir/thirty.png") after 1 s"
"$capture" "$dir/sixty.q7" "$dir/sixty.png" 1 -screenshot_scale 1 || fail "png at 60 exited with $?"
[ "$(identify -format %wx%h "$dir/sixty.png")" = 128x128 ] || fail "-screenshot_scale is passed on"
[ "$(colour "$dir/sixty.png")" = $c12 ] || fail "60 fps: colour $(colour "$dir/sixty.png") after 1 s"

# The GIF holds 30 frames a second from the program's first picture on.
"$capture" "$dir/thirty.q7" "$dir/thirty.gif" 1 || fail "gif exited with $?"
info=$(gifsicle --info "$dir/thirty.gif")
grep -q "30 images" <<< "$info" || fail "frame count: $info"
grep -q "logical screen 256x256" <<< "$info" || fail "default gif scale"
grep -q "loop forever" <<< "$info" || fail "loop extension"
[ "$(grep -c 'disposal background delay 0.03s' <<< "$info")" = 30 ] || fail "delays"
[ "$(colour "$dir/thirty.gif[0]")" = $c1 ] || fail "first frame $(colour "$dir/thirty.gif[0]")"
[ "$(colour "$dir/thirty.gif[29]")" = $c14 ] || fail "last frame is the screenshot's picture"
"$capture" "$dir/sixty.q7" "$dir/sixty.gif" 2 -gif_scale 1 || fail "gif at 60 exited with $?"
info=$(gifsicle --info "$dir/sixty.gif")
grep -q "60 images" <<< "$info" || fail "60 fps records 30 a second: $info"
grep -q "logical screen 128x128" <<< "$info" || fail "-gif_scale is passed on"

# A cartridge that stops early still gives what it showed.
printf 'orrery cartridge // stops\nversion 12\n__lua__\ncls(8)\nflip()\nstop()\n' > "$dir/stops.q7"
"$capture" "$dir/stops.q7" "$dir/stops.png" 5 2> "$dir/err" || fail "early end exited with $?"
grep -q "ended early" "$dir/err" || fail "no note of the early end"

set +e
"$capture" "$dir/thirty.q7" "$dir/out.bmp" 1 2> /dev/null; [ $? = 1 ] || fail "unknown format"
"$capture" "$dir/thirty.q7" "$dir/out.png" 0 2> /dev/null; [ $? = 1 ] || fail "zero seconds"
"$capture" "$dir/thirty.q7" "$dir/out.gif" 200 2> /dev/null; [ $? = 1 ] || fail "longer than a recording holds"
"$capture" "$dir/thirty.q7" "$dir/out.png" 2> /dev/null; [ $? = 1 ] || fail "missing seconds"
"$capture" "$dir/missing.q7" "$dir/out.png" 1 > /dev/null 2>&1; [ $? = 1 ] || fail "missing cartridge"
"$capture" "$dir/thirty.q7" "$dir/no/such/out.png" 1 2> /dev/null; [ $? = 2 ] || fail "unwritable output"
set -e
[ ! -e "$dir/out.png" ] && [ ! -e "$dir/out.gif" ] || fail "a failed run wrote a file"
echo ok
