#!/usr/bin/env bash
# Prints which source folders include which (with the number of include
# lines) and fails when a folder includes one of a higher layer. The layers,
# bottom to top; a folder may include only its own headers and those of the
# layers below it. A layer's sub-folders (the platform's backends) are part
# of it. Also fails when a file outside the SDL backend (src/platform/sdl/)
# includes an SDL header, or a file above the platform includes a backend's
# header: only the platform knows which backend runs.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
layers=(gfx platform machine audio script api shell "browser capture")

declare -A rank
for i in "${!layers[@]}"; do
  for folder in ${layers[$i]}; do rank[$folder]=$i; done
done

edges=$(
  cd "$here/src" || exit 1
  find . -mindepth 2 \( -name '*.h' -o -name '*.cpp' \) | sed 's|^\./||' | sort | while read -r file; do
    from=${file%%/*}
    sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z_]*\/[^"]*\)".*/\1/p' "$file" |
      while read -r header; do
        to=${header%%/*}
        [ "$to" != "$from" ] && echo "$from $to $file $header"
      done
  done
)

status=0
echo "include graph (folder -> folder: include lines), bottom layer first:"
for i in "${!layers[@]}"; do
  for from in ${layers[$i]}; do
    targets=$(echo "$edges" | awk -v f="$from" '$1 == f { print $2 }' | sort | uniq -c | awk '{ printf " %s:%s", $2, $1 }')
    echo "  $from ->${targets:- (nothing)}"
  done
done

while read -r from to file header; do
  [ -n "$from" ] || continue
  if [ -z "${rank[$from]+x}" ] || [ -z "${rank[$to]+x}" ]; then
    echo "layers: $file includes $header: folder $from/ or $to/ is in no layer"
    status=1
  elif [ "${rank[$to]}" -ge "${rank[$from]}" ]; then
    echo "layers: $file includes $header, but $to/ is not below $from/"
    status=1
  fi
done <<< "$edges"

sdl=$(cd "$here/src" && grep -rlE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]SDL' --include='*.h' --include='*.cpp' . |
  sed 's|^\./||' | grep -v '^platform/sdl/')
for file in $sdl; do
  echo "layers: $file includes an SDL header; only platform/sdl/ may"
  status=1
done
while read -r from to file header; do
  [ -n "$from" ] || continue
  if [ "$from" != platform ] && [[ "$header" == platform/*/* ]]; then
    echo "layers: $file includes $header, a platform backend's header"
    status=1
  fi
done <<< "$edges"

[ "$status" -eq 0 ] && echo "layers: no upward include, SDL only in platform/sdl/, no backend named above the platform"
exit "$status"
