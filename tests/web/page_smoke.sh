#!/usr/bin/env bash
# The web build's page loads in headless chromium without a page error and
# runs cartridges in exec mode with the native build's output and status.
#   page_smoke.sh NATIVE_BUILD WEB_BUILD SOURCE
# playwright-core is installed from the lockfile beside this script into a
# cache folder outside the clone. Exits 77 (skipped) without chromium, npm
# or a native build.
set -uo pipefail
native=$(cd "$1" && pwd) web=$(cd "$2" && pwd) source=$(cd "$3" && pwd)
here=$source/tests/web
[ -x /usr/bin/chromium ] || { echo "SKIP: Debian's chromium is not installed"; exit 77; }
command -v npm >/dev/null || { echo "SKIP: npm is not installed"; exit 77; }
[ -x "$native/orrery" ] || { echo "SKIP: no native build in $native"; exit 77; }

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
trap 'rm -rf "$dir"' EXIT
passed=0 failed=0
cart() { printf 'orrery cartridge // page smoke test\nversion 12\n__lua__\n%s\n' "$2" >"$dir/$1.q7"; }

cart drawing 'cls(1) circfill(64,64,20,8) print("page",50,60,7)
local h=0
for i=0,4095 do h=bxor(h*3,peek(0x6000+i*2)+peek(0x6001+i*2)*256) end
printh("screen "..tostr(h,true), 5/3, pget(64,64))
function _update() f=(f or 0)+1 printh(f) if f==5 then stop() end end'
cart failing 'function _update() f=(f or 0)+1 if f==2 then assert(false, "boom") end end'

for c in drawing failing; do
  mkdir -p "$dir/$c.home"
  (cd "$dir" && "$native/orrery" -home "$c.home" -x "$c.q7" >"$c.out" 2>"$c.err"; echo "exit: $?" >"$c.status")
  { sed 's/^/out: /' "$dir/$c.out"; sed 's/^/err: /' "$dir/$c.err"; cat "$dir/$c.status"; } | sort >"$dir/$c.expected"
  NODE_PATH=$modules/node_modules node "$here/page_smoke.cjs" "$web" "$dir/$c.q7" -x @CART >"$dir/$c.page" 2>&1
  sort "$dir/$c.page" >"$dir/$c.got"
  if cmp -s "$dir/$c.expected" "$dir/$c.got"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $c in the page:"; diff "$dir/$c.expected" "$dir/$c.got"
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
