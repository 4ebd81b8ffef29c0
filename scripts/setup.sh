#!/usr/bin/env bash
# Prepares a Debian machine to build orrery: installs the packages that are
# missing and fetches the Lua 5.2 source tarball into a cache folder.
# Idempotent: a machine that already has everything returns within a second.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/lua-source.sh
. "$here/scripts/lua-source.sh"

packages=(
  build-essential cmake ninja-build pkg-config patch ca-certificates ccache
  clang libclang-rt-dev
  libsdl2-dev libpng-dev libgif-dev libcurl4-openssl-dev nettle-dev
  libgtest-dev googletest
  xvfb xauth x11-apps imagemagick xdotool
  lua5.2 sox python3 desktop-file-utils gifsicle
  nginx caddy apache2-bin  # the catalogue's server configurations are tested on them
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

lua_fetch_tarball
