#!/usr/bin/env bash
# Prepares a Debian machine to build orrery: installs the packages that are
# missing and fetches the Lua 5.2 source tarball into a cache folder.
# With --tests it also installs the web servers that the catalogue's server
# configurations are tested on, without letting their services start.
# Idempotent: a machine that already has everything returns within a second.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/lua-source.sh
. "$here/scripts/lua-source.sh"

packages=(
  build-essential cmake ninja-build pkg-config patch ca-certificates ccache
  clang libclang-rt-dev
  libsdl2-dev libpng-dev libgif-dev libcurl4-openssl-dev nettle-dev
  libgtest-dev googletest libsmf-dev
  xvfb xauth x11-apps imagemagick xdotool
  lua5.2 sox python3 desktop-file-utils gifsicle
)
test_servers=(nginx caddy apache2-bin)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs those of the named packages that are missing.
install_missing() {
  local missing=() p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "setup: installing ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

install_missing "${packages[@]}"

# The tests start their own servers on 127.0.0.1; a policy file keeps the
# packages' system services from starting (nginx would take port 80) while
# they are installed.
if [ "${1:-}" = --tests ]; then
  policy=/usr/sbin/policy-rc.d
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | as_root tee "$policy" >/dev/null
    as_root chmod 755 "$policy"
    trap 'as_root rm -f "$policy"' EXIT
  fi
  install_missing "${test_servers[@]}"
fi

lua_fetch_tarball
