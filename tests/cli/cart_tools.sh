#!/usr/bin/env bash
# The tools behind the bundled cartridges: orrery-cart writes the data
# sections (the note a4 plays at 440 Hz) and leaves the code alone, and the
# bundled cartridges' sources in assets/carts/tools/data/ rebuild them byte
# for byte; cart-snap presses buttons on a script, saves the screen as a
# PNG and writes it into the cartridge as its label without touching the
# code.
set -euo pipefail
build=$1
source_dir=$2
tool=$build/orrery-cart
snap=$build/cart-snap
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
code_of() { awk '/^__lua__/ { on = 1; next } /^__/ { on = 0 } on' "$1"; }

cat > "$dir/cart.q7" <<'CART'
orrery cartridge // tools test
version 12
__lua__
c = 8
function _update() if btn(4) then c = 11 end end

function _draw() cls(c) end
CART
printf '# a tone\nsfx 2 speed 4 wave tri vol 7\na4*32\n' > "$dir/sounds.txt"
printf '0 - 2 - - -\n' > "$dir/music.txt"
code_of "$dir/cart.q7" > "$dir/code.before"

"$tool" sfx import "$dir/cart.q7" "$dir/sounds.txt" >/dev/null || fail "sfx import exited with $?"
"$tool" music import "$dir/cart.q7" "$dir/music.txt" >/dev/null || fail "music import exited with $?"
code_of "$dir/cart.q7" | cmp -s - "$dir/code.before" || fail "orrery-cart changed the code"
sfx2=$(awk '/^__sfx__/ { for (i = 0; i < 3; i++) getline; print substr($0, 1, 13); exit }' "$dir/cart.q7")
[ "$sfx2" = 0004000021070 ] || fail "sfx 2 starts $sfx2"
grep -qx "00 02424344" "$dir/cart.q7" || fail "pattern 0"
cp "$dir/cart.q7" "$dir/once.q7"
"$tool" sfx import "$dir/cart.q7" "$dir/sounds.txt" >/dev/null
cmp -s "$dir/cart.q7" "$dir/once.q7" || fail "a second import changed the file"
"$build/orrery-render" "$dir/cart.q7" "$dir/a4.wav" 1 sfx 2
f=$(sox "$dir/a4.wav" -n stat -freq 2>&1 | awk 'NF == 2 && $1 ~ /^[0-9.]+$/ && $2 + 0 > best { best = $2 + 0; f = $1 } END { print f }')
awk -v f="$f" 'BEGIN { exit !(f >= 434 && f <= 446) }' || fail "a4 sounds at $f Hz"
"$tool" info "$dir/cart.q7" | grep -q "^tokens: *20 /" || fail "token count: $("$tool" info "$dir/cart.q7")"

# The bundled cartridges from their sources: nothing changes; a changed
# source changes its cartridge.
cp -r "$source_dir/assets/carts" "$dir/carts"
"$dir/carts/tools/import-data.sh" "$tool" "$dir/carts" || fail "import-data.sh exited with $?"
diff -r "$source_dir/assets/carts" "$dir/carts" >&2 || fail "the sources do not rebuild the bundled cartridges"
sed -i 's/^sfx 0 speed 2 /sfx 0 speed 3 /' "$dir/carts/tools/data/bricklight/sounds.txt"
"$dir/carts/tools/import-data.sh" "$tool" "$dir/carts"
grep -q '^00030000' "$dir/carts/games/bricklight.q7" || fail "a changed source did not reach its cartridge"

# The colour of pixel (x, y) of a PNG as rrggbb, read by ImageMagick.
pixel() { convert "$1" -depth 8 -format "%[hex:u.p{$2,$3}]" info: | cut -c1-6 | tr A-F a-f; }
colour() { awk -v i="$1" '$1 == i { print $2 }' "$source_dir/assets/palette.txt"; }

"$snap" "$dir/cart.q7" 60 -png "$dir/plain.png" 2 || fail "cart-snap exited with $?"
[ "$(pixel "$dir/plain.png" 255 255)" = "$(colour 8)" ] || fail "the screen without buttons is not colour 8"
"$snap" "$dir/cart.q7" 60 -keys 10:o -png "$dir/pressed.png" -label || fail "cart-snap with keys exited with $?"
[ "$(pixel "$dir/pressed.png" 0 0)" = "$(colour 11)" ] || fail "pressing o did not reach the cartridge"
code_of "$dir/cart.q7" | cmp -s - "$dir/code.before" || fail "cart-snap changed the code"
[ "$(awk '/^__label__/ { on = 1; next } /^__/ { on = 0 } on' "$dir/cart.q7" | grep -c '^b\{128\}$')" = 128 ] ||
  fail "the label is not 128 rows of colour 11"
"$snap" "$dir/cart.q7" 60 -label || fail "a second label"
[ "$(grep -c '^__label__' "$dir/cart.q7")" = 1 ] || fail "the old label was not replaced"

printf 'orrery cartridge // x\nversion 12\n__lua__\nfunction _update() nothing.here = 1 end\n' > "$dir/broken.q7"
set +e
"$snap" "$dir/broken.q7" 60 > "$dir/broken.out"
rc=$?
set -e
[ $rc -eq 1 ] || fail "a failing cartridge exits with $rc"
grep -q "attempt to index" "$dir/broken.out" || fail "the error was not printed"
echo "cart_tools: ok"
