#!/usr/bin/env bash
# The bundled cartridges' host CPU time per emulated second in the web build
# (bench_bundled under node, whose WebAssembly engine is the browser's)
# beside the native build's, warm, and their ratio. The target is at most
# 3 times the native time.
#   bench/web_vs_native.sh [NATIVE_BUILD [WEB_BUILD [SECONDS]]]
# Defaults: build/, build-web/ (scripts/web-build.sh) and 20 emulated seconds.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
native=${1:-$here/build} web=${2:-$here/build-web} seconds=${3:-20}
[ -x "$native/bench/bench_bundled" ] || { echo "no $native/bench/bench_bundled: build with -DORRERY_BENCH=ON" >&2; exit 1; }
[ -f "$web/bench_bundled.js" ] || { echo "no $web/bench_bundled.js: run scripts/web-build.sh" >&2; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$native/bench/bench_bundled" --seconds "$seconds" >"$dir/native"
node --no-experimental-fetch "$web/bench_bundled.js" --seconds "$seconds" >"$dir/web"
# The last column of each cartridge's row is its host ms per emulated second.
echo "host CPU per emulated second, $seconds emulated seconds of scripted buttons each, warm"
awk 'FNR == NR && / [a-z]+\/[a-z]+ / { native[$1] = $NF; next }
     / [a-z]+\/[a-z]+ / { web[$1] = $NF; order[++n] = $1 }
     END {
       printf "  %-18s %11s %11s %7s\n", "cartridge", "native ms/s", "web ms/s", "ratio"
       for (i = 1; i <= n; i++) {
         c = order[i]; r = native[c] > 0 ? web[c] / native[c] : 0
         printf "  %-18s %11.2f %11.2f %6.1fx\n", c, native[c], web[c], r
         sn += native[c]; sw += web[c]
       }
       printf "  %-18s %11.2f %11.2f %6.1fx\n", "all", sn, sw, (sn > 0 ? sw / sn : 0)
     }' "$dir/native" "$dir/web"
