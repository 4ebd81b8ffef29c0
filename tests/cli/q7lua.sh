#!/usr/bin/env bash
# The interpreter's front end: output, exit statuses and error reports.
set -u
build=$1
q7lua="$build/q7lua"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    printf 'FAIL %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
    fail=1
  fi
}

printf 'print(1/3, 0x10.4, #"abc")\nprint(sub("hello", 2, 3), type(cocreate))\n' >"$tmp/ok.lua"
out=$("$q7lua" "$tmp/ok.lua"); check "output" "$(printf '0.3333\t16.25\t3\nel\tfunction')" "$out"
check "success status" 0 $?

printf 'local a = 1\n\nlocal f = nil\nf()\n' >"$tmp/runtime.lua"
err=$("$q7lua" "$tmp/runtime.lua" 2>&1 >/dev/null); status=$?
check "runtime error status" 1 "$status"
check "runtime error report" "q7lua: runtime error line 4: attempt to call local 'f' (a nil value)" "$err"

printf 'function f()\n  x = 1\n' >"$tmp/syntax.lua"
err=$("$q7lua" "$tmp/syntax.lua" 2>&1 >/dev/null); status=$?
check "syntax error status" 1 "$status"
case "$err" in
  "q7lua: syntax error: "*"syntax.lua:3: 'end' expected (to close 'function' at line 1) near <eof>") ;;
  *) check "syntax error report" "...'end' expected (to close 'function' at line 1) near <eof>" "$err" ;;
esac

out=$("$q7lua" -e 'print(2^0.5, 40000)'); check "-e" "$(printf '1.4167\t-32768')" "$out"

"$q7lua" "$tmp/missing.lua" 2>"$tmp/err"; status=$?
check "missing file status" 1 "$status"
check "missing file report" "q7lua: cannot read $tmp/missing.lua" "$(cat "$tmp/err")"

"$q7lua" >/dev/null 2>&1; check "usage status" 2 $?
"$q7lua" -x y z >/dev/null 2>&1; check "bad option status" 2 $?

exit $fail
