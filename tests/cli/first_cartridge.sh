#!/usr/bin/env bash
# A new author's first cartridge, made as the manual's "Making cartridges"
# tells: code in a text file, a sprite sheet drawn in an image editor (here
# ImageMagick), a map saved by Tiled (TMX with a CSV layer) and a tune from
# a MIDI file, brought in with orrery-cart; the console then runs it with
# the sprite, the map cells and the tune in place.
set -euo pipefail
build=$1
source_dir=$2
tool=$build/orrery-cart
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
colour() { awk -v i="$1" '$1 == i { print $2 }' "$source_dir/assets/palette.txt"; }

cat > "$dir/game.q7" <<'CART'
orrery cartridge // first
version 12
__lua__
-- my first game
music(0)
f = 0
function _update()
  f += 1
  if f == 3 then
    printh("sheet "..sget(8, 0).." "..sget(9, 0).." map "..mget(0, 0).." "..mget(1, 1)..
      " flag "..fget(1).." music "..stat(24).." "..stat(16))
  end
end
function _draw() cls() map(0, 0, 0, 0, 2, 2) end
CART
cp "$dir/game.q7" "$dir/written.q7"

# Sprite 1 has a pixel of colour 7 at its top left (sheet pixel 8, 0).
convert -size 128x128 "xc:#$(colour 0)" -fill "#$(colour 7)" -draw 'point 8,0' "PNG24:$dir/sheet.png"
# A 2x2 map whose tile set starts at gid 1: cells 1, 0 / 0, 1 (gid 0
# would be tile 0 too).
cat > "$dir/map.tmx" <<'TMX'
<?xml version="1.0" encoding="UTF-8"?>
<map version="1.10" orientation="orthogonal" renderorder="right-down" width="2" height="2"
     tilewidth="8" tileheight="8" infinite="0" nextlayerid="2" nextobjectid="1">
 <tileset firstgid="1" source="sheet.tsx"/>
 <layer id="1" name="ground" width="2" height="2">
  <data encoding="csv">
2,1,
1,2
</data>
 </layer>
</map>
TMX
printf '0,1,0,0,0,0,0,0,0,0,0,0,0,0,0,0\n' > "$dir/flags.csv"
for i in $(seq 15); do printf '0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0\n'; done >> "$dir/flags.csv"
# One track, middle c, d, e as quarter notes at 120 beats a minute.
python3 - "$dir/song.mid" <<'PY'
import struct, sys
events = b''
for note in (60, 62, 64):
    events += bytes([0, 0x90, note, 100, 0x83, 0x60, 0x80, note, 0])
events += bytes([0, 0xff, 0x2f, 0])
track = b'MTrk' + struct.pack('>I', len(events)) + events
open(sys.argv[1], 'wb').write(b'MThd' + struct.pack('>IHHH', 6, 0, 1, 480) + track)
PY

"$tool" gfx import "$dir/game.q7" "$dir/sheet.png" >/dev/null || fail "gfx import exited with $?"
"$tool" map import "$dir/game.q7" "$dir/map.tmx" >/dev/null || fail "map import exited with $?"
"$tool" flags import "$dir/game.q7" "$dir/flags.csv" >/dev/null || fail "flags import exited with $?"
"$tool" music import "$dir/game.q7" "$dir/song.mid" >/dev/null || fail "music import exited with $?"
"$tool" info "$dir/game.q7" | grep -q "^data: sprites (rows 0-63), map (rows 0-31), flags, sfx" ||
  fail "info: $("$tool" info "$dir/game.q7")"
# The code stayed as written.
code_of() { awk '/^__lua__/ { on = 1; next } /^__/ { on = 0 } on' "$1"; }
diff <(code_of "$dir/written.q7") <(code_of "$dir/game.q7") || fail "the code changed"

mkdir "$dir/home"
timeout 60 "$build/orrery" -home "$dir/home" -x "$dir/game.q7" -fast -frames 5 > /dev/null 2> "$dir/err" || true
grep -qx "sheet 7 0 map 1 1 flag 1 music 0 0" "$dir/err" || fail "the cartridge saw: $(cat "$dir/err")"
echo "first_cartridge: ok"
