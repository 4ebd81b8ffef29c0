#!/usr/bin/env bash
# cmake --install into a temporary prefix gives the program, its data, the
# manual, the icons, the menu entry and the cartridge file types in their
# places; the installed program finds its data and runs a cartridge in exec
# mode; the desktop's own tools accept the menu entry and the type file.
set -euo pipefail
build=$1
source=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$dir/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install exited with $?"

for f in bin/orrery bin/orrery-cart share/orrery/data.pod share/orrery/orrery.txt share/doc/orrery/orrery.txt \
         share/applications/orrery.desktop share/mime/packages/orrery.xml; do
  [ -f "$prefix/$f" ] || fail "missing $f"
done
[ -x "$prefix/bin/orrery" ] || fail "bin/orrery is not executable"
cmp -s "$source/docs/orrery.txt" "$prefix/share/orrery/orrery.txt" || fail "installed manual differs"

# Icons: real PNG pictures of their folder's size, read by ImageMagick.
for size in 32 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/orrery.png
  [ -f "$icon" ] || fail "missing icon $size"
  got=$(identify -format '%m %wx%h' "$icon")
  [ "$got" = "PNG ${size}x${size}" ] || fail "icon $size is $got"
done
# The larger icons are the small one enlarged pixel by pixel.
[ "$(convert "$prefix/share/icons/hicolor/32x32/apps/orrery.png" -scale 400% rgba:- | md5sum)" = \
  "$(convert "$prefix/share/icons/hicolor/128x128/apps/orrery.png" rgba:- | md5sum)" ] ||
  fail "128x128 icon is not the 32x32 one enlarged"

# The installed program, moved away from the build folder, finds data.pod in
# ../share/orrery and runs a cartridge headless.
mv "$prefix" "$dir/moved"
prefix=$dir/moved
mkdir "$dir/home"
printf 'orrery cartridge\nversion 12\n__lua__\nassert(false, "installed and running")\n' > "$dir/check.q7"
out=$("$prefix/bin/orrery" -home "$dir/home" -x "$dir/check.q7") || fail "exec mode exited with $?"
grep -qx '\*\* installed and running' <<<"$out" || fail "unexpected exec output: $out"
[ -f "$dir/home/config.txt" ] || fail "no config.txt written in the home folder"
# The authoring tool lists its commands and finds the palette in the same
# data folder: it exports the empty sheet as a picture.
for c in info "gfx import" "map import" "flags export" "label export" "sfx import" "music import" convert; do
  "$prefix/bin/orrery-cart" --help | grep -q "^  $c " || fail "orrery-cart --help lacks $c"
done
"$prefix/bin/orrery-cart" gfx export "$dir/check.q7" "$dir/sheet.png" >/dev/null || fail "installed orrery-cart: $?"
[ "$(identify -format '%wx%h' "$dir/sheet.png")" = 128x128 ] || fail "exported sheet is not 128x128"

desktop-file-validate "$prefix/share/applications/orrery.desktop" || fail "desktop-file-validate"
grep -qx 'Exec=orrery -run %f' "$prefix/share/applications/orrery.desktop" || fail "Exec line"

python3 - "$prefix/share/mime/packages/orrery.xml" <<'EOF' || fail "mime type file"
import sys, xml.etree.ElementTree as ET
ns = "{http://www.freedesktop.org/standards/shared-mime-info}"
root = ET.parse(sys.argv[1]).getroot()
globs = {m.get("type"): [g.get("pattern") for g in m.iter(ns + "glob")] for m in root.iter(ns + "mime-type")}
assert globs == {"application/x-orrery-cartridge": ["*.q7"],
                 "image/x-orrery-cartridge": ["*.q7.png"]}, globs
EOF
# The desktop's database compiler takes the file, and a .q7.png picture is
# matched by its double extension rather than as a plain PNG.
if command -v update-mime-database >/dev/null; then
  mkdir -p "$dir/mime/packages"
  cp "$prefix/share/mime/packages/orrery.xml" "$dir/mime/packages/"
  update-mime-database "$dir/mime" 2>"$dir/mime.err" || fail "update-mime-database: $(cat "$dir/mime.err")"
  grep -q ':image/x-orrery-cartridge:\*\.q7\.png$' "$dir/mime/globs2" || fail "no *.q7.png glob"
  grep -q ':application/x-orrery-cartridge:\*\.q7$' "$dir/mime/globs2" || fail "no *.q7 glob"
fi
grep -q 'MimeType=application/x-orrery-cartridge;image/x-orrery-cartridge;' \
  "$prefix/share/applications/orrery.desktop" || fail "desktop entry names other types"
echo "install: ok"
