#!/usr/bin/env bash
# Every sound effect that has notes and every music pattern that has a
# sound in the bundled cartridges renders to a WAV file that is not silent.
set -euo pipefail
build=$1
source_dir=$2
render=$build/orrery-render
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
loud_enough() { sox "$1" -n stat 2>&1 | awk '/^Maximum amplitude/ { exit !($3 >= 0.02) }'; }

checked=0
for cart in "$source_dir"/assets/carts/demos/*.q7 "$source_dir"/assets/carts/games/*.q7; do
  # Sounds: a line of the sfx section whose notes (5 digits each after an
  # 8-digit header) have a volume digit other than 0 or 8.
  sounds=$(awk '/^__sfx__/ { on = 1; n = 0; next } /^__/ { on = 0 }
    on { for (k = 0; k < 32; k++) if (substr($0, 12 + 5 * k, 1) !~ /^[08]?$/) { print n; break } n++ }' "$cart")
  # Patterns: a line of the music section with a channel value below 0x40.
  patterns=$(awk '/^__music__/ { on = 1; n = 0; next } /^__/ { on = 0 }
    on && NF == 2 { for (c = 0; c < 4; c++) if (substr($2, 1 + 2 * c, 1) ~ /^[0-3]$/) { print n; break } n++ }' "$cart")
  for n in $sounds; do
    "$render" "$cart" "$dir/out.wav" 2 sfx "$n" || fail "$cart: render sfx $n exited with $?"
    loud_enough "$dir/out.wav" || fail "$cart: sfx $n is silent"
    checked=$((checked + 1))
  done
  for n in $patterns; do
    "$render" "$cart" "$dir/out.wav" 2 music "$n" || fail "$cart: render music $n exited with $?"
    loud_enough "$dir/out.wav" || fail "$cart: music $n is silent"
    checked=$((checked + 1))
  done
done
[ "$checked" -gt 100 ] || fail "only $checked sounds found"
echo "bundled_sounds: $checked sounds and patterns ok"
