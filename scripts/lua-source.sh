# Locates or downloads the Lua 5.2 source tarball from Debian's source
# package and checks it against the pinned digest. Sourced by setup.sh.
#
# ORRERY_LUA_TARBALL: path of a local copy of the tarball; when set, nothing
# is downloaded.

LUA_TARBALL_NAME=lua5.2_5.2.4.orig.tar.gz
LUA_TARBALL_SHA256=86fb7e23cbbddfcd92684e5f8017ff41c9112251d1656dbece415a97fad171c0
LUA_CACHE_DIR=${ORRERY_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/orrery}

lua_tarball_path() {
  if [ -n "${ORRERY_LUA_TARBALL:-}" ]; then
    echo "$ORRERY_LUA_TARBALL"
  else
    echo "$LUA_CACHE_DIR/$LUA_TARBALL_NAME"
  fi
}

lua_check_digest() {
  [ -f "$1" ] && [ "$(sha256sum "$1" | cut -d' ' -f1)" = "$LUA_TARBALL_SHA256" ]
}

# Writes a deb-src twin of every deb source the machine already uses, so that
# the source package comes from the same archive as the binary packages.
lua_enable_source_entries() {
  local list=/etc/apt/sources.list.d/orrery-deb-src.sources
  [ -f "$list" ] && return 0
  local found=0 tmp
  tmp=$(mktemp)
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    case "$f" in *orrery-deb-src*) continue ;; esac
    if grep -q '^Types:.*\bdeb\b' "$f"; then
      sed -e 's/^Types:.*/Types: deb-src/' "$f" >>"$tmp"
      echo >>"$tmp"
      found=1
    fi
  done
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed -e 's/^deb /deb-src /' >/tmp/orrery-deb-src.list || true
    if [ -s /tmp/orrery-deb-src.list ]; then
      as_root cp /tmp/orrery-deb-src.list /etc/apt/sources.list.d/orrery-deb-src.list
      found=1
    fi
    rm -f /tmp/orrery-deb-src.list
  fi
  if [ -s "$tmp" ]; then
    as_root cp "$tmp" "$list"
  fi
  rm -f "$tmp"
  [ "$found" = 1 ] && as_root apt-get update -qq
  return 0
}

lua_fetch_tarball() {
  local path
  path=$(lua_tarball_path)
  if lua_check_digest "$path"; then
    return 0
  fi
  if [ -n "${ORRERY_LUA_TARBALL:-}" ]; then
    echo "setup: ORRERY_LUA_TARBALL=$ORRERY_LUA_TARBALL is missing or its SHA-256 is not $LUA_TARBALL_SHA256" >&2
    return 1
  fi
  mkdir -p "$LUA_CACHE_DIR"
  echo "setup: fetching the Lua 5.2 source package"
  lua_enable_source_entries
  local work
  work=$(mktemp -d)
  chmod 777 "$work"
  if ! (cd "$work" && apt-get source --download-only lua5.2 >/dev/null 2>&1) ||
     [ ! -f "$work/$LUA_TARBALL_NAME" ]; then
    rm -rf "$work"
    echo "setup: could not download Debian's source package of Lua 5.2." >&2
    echo "setup: put $LUA_TARBALL_NAME (SHA-256 $LUA_TARBALL_SHA256) on this machine" >&2
    echo "setup: and point ORRERY_LUA_TARBALL at it." >&2
    return 1
  fi
  mv "$work/$LUA_TARBALL_NAME" "$path"
  rm -rf "$work"
  if ! lua_check_digest "$path"; then
    echo "setup: $path does not match the pinned SHA-256 $LUA_TARBALL_SHA256" >&2
    echo "setup: point ORRERY_LUA_TARBALL at a good copy of $LUA_TARBALL_NAME." >&2
    rm -f "$path"
    return 1
  fi
}
