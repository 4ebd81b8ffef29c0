#!/usr/bin/env bash
# The web player in Debian's chromium, against the native build: a
# cartridge exported with the native `orrery -export_web` and served by
# `python3 -m http.server` loads without a page error, starts on a click,
# shows on its canvas what the native console shows (the first frame, and
# the frame after a key press), delivers sound, and keeps its cartridge
# data across a reload; and the player runs cartridges in exec mode with
# the native build's output and status.
#   player_test.sh NATIVE_BUILD WEB_BUILD SOURCE
# playwright-core is installed from the lockfile beside this script into a
# cache folder outside the clone. Exits 77 (skipped) without chromium, npm,
# a native build or the web player.
set -uo pipefail
native=$(cd "$1" && pwd) web=$(cd "$2" && pwd) source=$(cd "$3" && pwd)
here=$source/tests/web
[ -x /usr/bin/chromium ] || { echo "SKIP: Debian's chromium is not installed"; exit 77; }
command -v npm >/dev/null || { echo "SKIP: npm is not installed"; exit 77; }
[ -x "$native/orrery" ] || { echo "SKIP: no native build in $native"; exit 77; }
[ -f "$web/player/orrery.wasm" ] || { echo "SKIP: no web player in $web/player"; exit 77; }

# One node_modules per lockfile, shared by every clone on the machine.
cache=${ORRERY_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/orrery}
modules=$cache/web-node-$(cat "$here/package.json" "$here/package-lock.json" | sha256sum | cut -c1-12)
if [ ! -f "$modules/.complete" ]; then
  rm -rf "$modules" && mkdir -p "$modules" &&
    cp "$here/package.json" "$here/package-lock.json" "$here/.npmrc" "$modules/" &&
    (cd "$modules" && npm ci --ignore-scripts --no-audit --no-fund >/dev/null) &&
    touch "$modules/.complete" ||
    { echo "SKIP: npm could not install playwright-core"; exit 77; }
fi

dir=$(mktemp -d)
server=
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$dir"' EXIT
cart() { printf 'orrery cartridge // web player test\nversion 12\n__lua__\n%s\n' "$2" >"$dir/$1.q7"; }

# Exec mode: the output lines of both builds, sorted (the page's console
# interleaves standard output and standard error in its own order).
cart drawing 'cls(1) circfill(64,64,20,8) print("page",50,60,7)
local h=0
for i=0,4095 do h=bxor(h*3,peek(0x6000+i*2)+peek(0x6001+i*2)*256) end
printh("screen "..tostr(h,true), 5/3, pget(64,64))
function _update() f=(f or 0)+1 printh(f) if f==5 then stop() end end'
cart failing 'function _update() f=(f or 0)+1 if f==2 then assert(false, "boom") end end'
mkdir -p "$dir/expected" "$dir/site"
for c in drawing failing; do
  mkdir -p "$dir/$c.home"
  (cd "$dir" && "$native/orrery" -home "$c.home" -x "$c.q7" >"$c.out" 2>"$c.err"; echo "exit: $?" >"$c.status")
  { sed 's/^/out: /' "$dir/$c.out"; sed 's/^/err: /' "$dir/$c.err"; cat "$dir/$c.status"; } | sort >"$dir/expected/exec.$c"
  cp "$dir/$c.q7" "$dir/site/"
done

# The played cartridge: a still picture that counts its runs in cartridge
# data and changes, with a sound, when O is pressed.
cat >"$dir/player.q7" <<'EOF'
orrery cartridge // web player test
version 12
__lua__
-- player test
cartdata("web_player_test")
runs=dget(0)+1
dset(0,runs)
pressed=false
function _update()
 if btnp(4) then pressed=true sfx(0) end
end
function _draw()
 cls(pressed and 2 or 1)
 circfill(64,64,20,8)
 rect(3,3,124,124,pressed and 11 or 7)
 print("runs "..runs,44,100,7)
 if pressed then rectfill(10,10,30,30,12) end
end
__sfx__
000c0000183511f35124351283312b321183511f35124351283312b321000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000
EOF
# What the native console shows: the first run, a run with O pressed, and
# the second run of the first home.
snap() {
  "$native/cart-snap" "$dir/player.q7" 120 -home "$dir/$1" -png "$dir/expected/$2.png" 1 "${@:3}" >/dev/null ||
    { echo "FAIL: cart-snap $2"; exit 1; }
}
snap home-a first
snap home-b pressed -keys 60:o:4
snap home-a second

# The exported folder, with the exec page and its cartridges beside it.
if ! "$native/orrery" -export_web "$dir/player.q7" "$dir/site" >"$dir/export.out" 2>&1; then
  echo "FAIL: orrery -export_web:"; cat "$dir/export.out"; exit 1
fi
cp "$here/exec.html" "$dir/site/"
# The player of this web build (build/web/ may hold an older copy).
cp "$web/player/orrery.js" "$web/player/orrery.wasm" "$dir/site/"

python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$dir/site" >"$dir/server.out" 2>"$dir/server.err" &
server=$!
port=
for _ in $(seq 50); do
  port=$(sed -n 's/.* port \([0-9][0-9]*\).*/\1/p' "$dir/server.out" | head -n1)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "FAIL: the HTTP server did not start"; cat "$dir/server.err"; exit 1; }

NODE_PATH=$modules/node_modules node "$here/player_test.cjs" "http://127.0.0.1:$port" "$dir/expected"
