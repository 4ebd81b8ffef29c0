#!/usr/bin/env bash
# The web build under node gives, byte for byte, what the native build gives:
# exec mode's output, errors and exit status and the cartridge data it
# leaves; the screens of the bundled cartridges after a scripted play; and
# the sound of their songs and effects through the mixer.
#   exec_compare.sh NATIVE_BUILD WEB_BUILD SOURCE
# Exits 77 (skipped) when the native build has no orrery.
set -uo pipefail
native=$(cd "$1" && pwd) web=$(cd "$2" && pwd) source=$(cd "$3" && pwd)
[ -x "$native/orrery" ] || { echo "SKIP: no native build in $native"; exit 77; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

passed=0 failed=0

# same NAME PROGRAM ARGS...: runs PROGRAM natively and under node, each in a
# fresh home and its own folder (files it writes land there), and compares
# standard output, standard error, exit status and every file written but
# the log (which names the platform and its drivers).
same() {
  local name=$1 program=$2; shift 2
  local side
  for side in native web; do
    mkdir -p "$dir/$name.$side/home"
    local run=("$native/$program")
    [ "$side" = web ] && run=(node --no-experimental-fetch "$web/$program.js")
    (cd "$dir/$name.$side" && timeout 120 "${run[@]}" "${@//@HOME@/home}" >out 2>err; echo "exit $?" >status)
  done
  if diff -r -x log.txt "$dir/$name.native" "$dir/$name.web" >"$dir/$name.diff"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $name differs:"; head -n 20 "$dir/$name.diff"
  fi
}

cart() { printf 'orrery cartridge // web comparison\nversion 12\n__lua__\n%s\n' "$2" >"$dir/$1.q7"; }

# A hash of the screen memory, printed to standard error. (The loop counts
# from 0: an address loop would wrap at 0x7fff and never end.)
screen_hash='function screen_hash()
 local h=0
 for i=0,4095 do h=bxor(h*3,peek(0x6000+i*2)+peek(0x6001+i*2)*256) end
 printh("screen "..tostr(h,true))
end'

cart numbers 'printh(5/3, -5/3, 0x7fff.ffff+1, 1/0, -1/0, 0x8000*2, flr(-0.5), -7%3, 7%-3, sgn(-3))
printh(sqrt(2), sqrt(0x7fff), sin(0.1), cos(0.3), abs(-32768), max(3,-4), mid(1,9,5), min())
printh(shl(1,15), shr(-1,4), band(0xf0f0,0xff00), bor(1,6), bxor(7,12), bnot(5))
printh(tostr(1/3,true), tonum("0x1f.8"), tonum("12abc"), tostr(-0.0001), 12345.678, -32768.5)
srand(7)
local r=""
for i=1,8 do r=r..flr(rnd(1000)).." " end
printh(r)'
cart drawing "$screen_hash"'
cls(1) circfill(64,64,20,8) circ(30,30,12,9) rectfill(5,100,50,120,12) line(0,0,127,90,7)
fillp(0x5a5a) rectfill(70,5,120,40,0x1e) fillp() rect(80,80,120,110,14) print("web 123",10,60,7)
for i=0,15 do pset(i*8,127,i) sset(i,i,i) end
pal(7,3) spr(0,60,60) sspr(0,0,8,8,90,50,16,16) mset(1,1,1) map(0,0,0,0,4,4) pal()
printh(pget(64,64), sget(3,3), mget(1,1))
screen_hash()
camera(10,10) clip(20,20,60,60) circfill(50,50,30,11)
screen_hash()'
cart sound 'sfx(0) music(0)
function _update()
 f=(f or 0)+1
 if f==20 then
  local s=""
  for i=16,26 do s=s..stat(i).." " end
  printh(s)
  stop()
 end
end'
cart cartdata 'printh(cartdata("web_compare"))
for i=0,63 do dset(i,i*1.5-7) end
printh(dget(3), dget(63), peek(0x5e0c), peek(0x5e0e))'
cart coroutines 'function gen(n)
 return cocreate(function() for i=1,n do yield(i*i) end return "done" end)
end
local c=gen(3)
for i=1,5 do printh(coresume(c)) printh(costatus(c)) end
printh(coresume(cocreate(function() error("inside") end)))'
cart strings 'local s="Hello, Web"
printh(#s, sub(s,2,4), sub(s,-3), tostr(true), type(print), type(nil))
local t={}
for i=1,20 do add(t,i%7) end
del(t,3)
local o=""
for v in all(t) do o=o..v end
printh(o, count(t), tostr({}) == tostr({}))'
cart runtime_error 'function _update()
 f=(f or 0)+1
 printh(f)
 if f==3 then local t=nil t.x=1 end
end'
cart syntax_error 'x = = 1'
cart assertion 'function boom(v) assert(v < 2, "v is "..v) end
for i=0,3 do printh(i) boom(i) end'
cart budget 'function _update()
 f=(f or 0)+1
 local x=0
 for j=1,100 do
  for i=1,3000 do x+=1/256 end
 end
 printh(f, x, stat(7))
 if f==4 then stop() end
end'

cart memory 'local t={}
for i=1,300 do t[i]={i,"s"..i,x=i} end
local f=function(a) return function() return a end end
local g={} for i=1,50 do g[i]=f(i) end
printh(stat(0))
t=nil g=nil
printh(stat(0) > 0)'
for c in numbers drawing sound cartdata coroutines strings runtime_error syntax_error assertion budget memory; do
  same "exec.$c" orrery -home @HOME@ -x "$dir/$c.q7"
done
# Cartridge data written in exec mode is read back by the next run.
same exec.cartdata_again orrery -home "$dir/exec.cartdata.native/home" -x "$dir/cartdata.q7"

# The bundled cartridges: the screen after ten seconds of scripted presses,
# and the first song and effect each has. The console seeds rnd from the
# clock, so each copy starts with a fixed seed.
keys=60:o,90:x,120:r:40,200:l:20,260:u:30,320:d:30,400:o:10,500:x:10
for cart_file in "$source"/assets/carts/games/*.q7 "$source"/assets/carts/demos/*.q7; do
  name=$(basename "$cart_file" .q7)
  sed '/^__lua__$/a srand(1)' "$cart_file" >"$dir/$name.q7"
  same "snap.$name" cart-snap "$dir/$name.q7" 600 -keys "$keys" -png snap.png -home @HOME@
done
for cart_file in "$source"/assets/carts/games/*.q7; do
  name=$(basename "$cart_file" .q7)
  same "song.$name" orrery-render "$cart_file" song.wav 4 music 0
  same "sfx.$name" orrery-render "$cart_file" sfx.wav 1 sfx 1
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
