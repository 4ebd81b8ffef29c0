#!/usr/bin/env bash
# Exec mode as a test runner: -fast gives the output of a real-time run in
# a fraction of its time, with time() and the frame rate as in real time;
# -frames ends a run; printh writes to standard error.
set -euo pipefail
build=$1
orrery=$build/orrery
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
cart() { printf 'orrery cartridge // exec test\nversion 12\n__lua__\n%s\n' "$1" > "$dir/$2.q7"; }
# run NAME ARGS...: runs the cartridge in a fresh home, standard output to
# NAME.out and standard error to NAME.err; ends it after 60 s.
run() {
  local name=$1 home
  shift
  home=$(mktemp -d "$dir/home.XXXXXX")
  timeout 60 "$orrery" -home "$home" -x "$@" > "$dir/$name.out" 2> "$dir/$name.err"
}

# Sixty frames at 30 a second that print across the frames and end with an
# error line: the same output with and without -fast.
cart 'f=0
function _update()
 f+=1
 printh(f, time(), stat(7))
 if f==60 then assert(false, "t="..time().." fps="..stat(7)) end
end
function _draw() cls() print(f) end' thirty
run slow "$dir/thirty.q7" || fail "real-time run exited with $?"
run fast -fast "$dir/thirty.q7" || fail "-fast run exited with $?"
cmp -s "$dir/slow.out" "$dir/fast.out" || fail "standard output differs: $(diff "$dir/slow.out" "$dir/fast.out")"
cmp -s "$dir/slow.err" "$dir/fast.err" || fail "standard error differs: $(diff "$dir/slow.err" "$dir/fast.err")"
grep -qx '\*\* t=2 fps=30' "$dir/fast.out" || fail "end line: $(cat "$dir/fast.out")"
[ "$(wc -l < "$dir/fast.err")" = 60 ] && [ "$(sed -n 30p "$dir/fast.err")" = "30 1 30" ] ||
  fail "frame lines: $(sed -n '1p;30p;$p' "$dir/fast.err")"

# A 60 frames a second cartridge using half of its budget keeps its rate
# under -fast: the host never looks slow.
cart 'f=0
function _update60()
 f+=1
 local x=0 for i=1,4000 do x+=i end
 printh(stat(7), time())
 if f==300 then stop() end
end' sixty
run sixty -fast "$dir/sixty.q7" || fail "sixty exited with $?"
[ "$(sort -u <<< "$(cut -d' ' -f1 "$dir/sixty.err")")" = 60 ] || fail "rates at 60: $(sort "$dir/sixty.err" | uniq -c)"
[ "$(tail -1 "$dir/sixty.err")" = "60 10" ] || fail "sixty's last line: $(tail -1 "$dir/sixty.err")"

# A program that asks for 1 frame a second and overruns it stays at 1
# (halving it to 0 would run no frame again).
cart 'f=0
function _draw()
 f+=1
 if f==2 then _set_fps(1) end
 if f==3 then local x=0 for i=1,300 do for j=1,10000 do x+=1 end end end
 printh(f, stat(7))
 if f==5 then stop() end
end' slowest
run slowest -fast "$dir/slowest.q7" || fail "the 1 fps program exited with $?"
[ "$(tail -1 "$dir/slowest.err")" = "5 1" ] || fail "1 fps: $(cat "$dir/slowest.err")"

# printh: print's texts joined by spaces on one line of standard error,
# control characters escaped; nothing on standard output.
cart 'printh("a", 1.5, -2, true, nil, {}, "\27[2J\0z\tb")
printh()' printh
run printh "$dir/printh.q7" || fail "printh exited with $?"
[ ! -s "$dir/printh.out" ] || fail "printh wrote to standard output: $(cat "$dir/printh.out")"
printf 'a 1.5 -2 true [nil] [table] \\x1b[2J\\x00z\tb\n\n' > "$dir/printh.want"
cmp -s "$dir/printh.want" "$dir/printh.err" || fail "printh wrote $(od -c "$dir/printh.err")"

# -frames ends a program that never ends after exactly that many frames,
# and does not keep one that ends earlier.
cart 'f=0 function _update() f+=1 printh(f) if f==limit then stop() end end' forever
run forever -fast "$dir/forever.q7" -frames 45 || fail "-frames exited with $?"
[ "$(tail -1 "$dir/forever.err")" = 45 ] || fail "-frames 45 ran $(tail -1 "$dir/forever.err") frames"
sed -i 's/f==limit/f==10/' "$dir/forever.q7"
run early -fast "$dir/forever.q7" -frames 45 || fail "early end exited with $?"
[ "$(tail -1 "$dir/early.err")" = 10 ] || fail "the early end ran $(tail -1 "$dir/early.err") frames"

echo "exec_fast: ok"
