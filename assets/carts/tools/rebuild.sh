#!/usr/bin/env bash
# Rebuilds the bundled cartridges' data sections from their sources in
# data/NAME/ and their labels from their own screens. Needs orrery-cart and
# cart-snap of a build folder (the first argument; build/ by default).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
carts=$(dirname "$here")
build=${1:-$carts/../../build}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$here/import-data.sh" "$build/orrery-cart" "$carts"

# CART SIXTIETHS [OPTIONS]: the label is the screen after that long.
label() { "$build/cart-snap" "$carts/$1.q7" "${@:2}" -label -home "$tmp/home-$(basename "$1")"; }
label games/orbithop 30
label games/bricklight 30
label games/cratekeep 30
label games/glowworm 30
label games/nightflight 60
label demos/shapes 100
label demos/sprites 300 -keys 10:r:40,60:d:40
label demos/sounds 60 -keys 10:x
label demos/text 200 -keys 10:l
label demos/palette 100
label demos/sixty 100
label demos/saves 200 -keys 10:o,20:o,30:o,40:o,50:o,60:r,70:o,80:o,90:o,100:r,110:r,120:o,130:o,140:o,150:o,160:o
label demos/menu 60
label demos/coro 560
label demos/duel 1000
label demos/bounce 300

# The mouse demo paints with a scripted mouse (data/mouse-label.lua) in a
# copy; the copy's label is moved into the real cartridge, between its
# code and its sound sections.
awk '/^__label__/ { exit } { print }' "$carts/demos/mouse.q7" > "$tmp/mouse.q7"
cat "$here/data/mouse-label.lua" >> "$tmp/mouse.q7"
"$build/cart-snap" "$tmp/mouse.q7" 400 -label -home "$tmp/home-mouse"
{ awk '/^__label__/ { exit } { print }' "$carts/demos/mouse.q7"
  awk '/^__label__/ { on = 1; print; next } on && /^__/ { exit } on' "$tmp/mouse.q7"
  awk 'label && /^__/ { rest = 1 } rest; /^__label__/ { label = 1 }' "$carts/demos/mouse.q7"; } > "$tmp/mouse-labelled.q7"
mv "$tmp/mouse-labelled.q7" "$carts/demos/mouse.q7"
