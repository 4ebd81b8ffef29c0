#!/usr/bin/env bash
# Writes the data sections of the bundled cartridges from their sources in
# data/NAME/ with orrery-cart: sheet.png (sprite sheet), flags.csv,
# map.csv, sounds.txt and music.txt, each where present. orrery-cart
# rewrites only the sections whose data changed, so sources that match a
# cartridge leave its file byte for byte as it is.
#   import-data.sh ORRERY_CART [CARTS_FOLDER]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool=$1
carts=${2:-$(dirname "$here")}

for src in "$here"/data/*/; do
  name=$(basename "$src")
  cart=
  for c in "$carts/demos/$name.q7" "$carts/games/$name.q7"; do
    if [ -f "$c" ]; then cart=$c; fi
  done
  [ -n "$cart" ] || { echo "import-data: no cartridge for data/$name" >&2; exit 1; }
  # The sheet first: a map of more than 32 rows writes its lower half.
  for pair in "gfx sheet.png" "flags flags.csv" "map map.csv" "sfx sounds.txt" "music music.txt"; do
    read -r kind file <<<"$pair"
    if [ -f "$src/$file" ]; then "$tool" "$kind" import "$cart" "$src/$file" >/dev/null; fi
  done
done
