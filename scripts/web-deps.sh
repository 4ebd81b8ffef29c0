#!/usr/bin/env bash
# Prepares the libraries of the web build: installs Debian's emscripten if it
# is missing, fetches Debian's source packages of zlib, libpng, SDL2, giflib
# and nettle at pinned versions, checks their tarballs against pinned
# SHA-256 digests, and builds them with emscripten into a prefix outside the
# clone, ${XDG_CACHE_HOME:-$HOME/.cache}/orrery/web-<stamp>/. The stamp
# covers the emscripten version, this recipe and SDL's known answers, so a
# prefix is built once and then reused by every clone on the machine; a
# prefix whose build did not finish has no ".complete" file and is rebuilt.
#
# Prints the prefix on standard output; progress and the table of times go to
# standard error.
#   --sdl-answers  configures SDL2 without known answers and prints them, to
#                  refresh scripts/web/sdl2-answers.cmake for a new emscripten
# ORRERY_WEB_SOURCES: a folder holding the pinned source files (.dsc and
#   tarballs); what it holds is not downloaded.
# ORRERY_WEB_SERIAL=1: builds the libraries one after the other (to measure
#   each alone) instead of SDL2 beside the others.
# ORRERY_JOBS: parallel jobs (default: the number of cores).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/lua-source.sh
. "$here/scripts/lua-source.sh"  # for lua_enable_source_entries

cache=${ORRERY_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/orrery}
jobs=${ORRERY_JOBS:-$(nproc)}
answers="$here/scripts/web/sdl2-answers.cmake"

# Debian source package, version, upstream tarball and its SHA-256, Debian's
# packaging tarball and its SHA-256. Debian's patches are applied: they carry
# the security fixes of the libraries that read untrusted pictures. Pinned
# versions are ones the main archive serves (the security archive drops its
# older ones).
sources=(
  "zlib 1:1.2.13.dfsg-1
   zlib_1.2.13.dfsg.orig.tar.bz2 71feb7947e3c00ef125f83b79a4e529bde31171e5babe48b391f06758d1ab0a1
   zlib_1.2.13.dfsg-1.debian.tar.xz f66cf3d4f2d7defcd4d1fd1fb0a11ee39f1e01b42ec7d059c9dc5c1695133c44"
  "libpng1.6 1.6.39-2+deb12u5
   libpng1.6_1.6.39.orig.tar.gz a00e9d2f2f664186e4202db9299397f851aea71b36a35e74910b8820e380d441
   libpng1.6_1.6.39-2+deb12u5.debian.tar.xz ab14906eda9fddf14cbb1e589b9ba7439c22e233dc3c5e3cf9356c9625565a82"
  "libsdl2 2.26.5+dfsg-1
   libsdl2_2.26.5+dfsg.orig.tar.gz b3f2c822151804125d08db94c65852f711c2e5df2145a59da120748dc32eb9c3
   libsdl2_2.26.5+dfsg-1.debian.tar.xz 45a0454e18b1bea85960d090e691c39216442610e600a6aec7cc99de525f4158"
  "giflib 5.2.1-2.5+deb12u1
   giflib_5.2.1.orig.tar.gz 31da5562f44c5f15d63340a09a4fd62b48c45620cd302f77a6d9acf0077879bd
   giflib_5.2.1-2.5+deb12u1.debian.tar.xz efa4369de943f7918c2b0b049a125268937ab12039ea6ed01d34ab2125def0df"
  "nettle 3.8.1-2
   nettle_3.8.1.orig.tar.gz 364f3e2b77cd7dcde83fd7c45219c834e54b0c75e428b6f894a23d12dd41cbfe
   nettle_3.8.1-2.debian.tar.xz 8f1eae9c6afffe545de294140f33d53352261478268dafee5ef72d840e1b3d7b"
)

# SDL2 without what the console never uses: its own test library and main,
# the power, locale, disk-audio and off-screen-video parts. Video, render
# (GLES2 and software), audio, events, joystick with virtual joysticks,
# haptic (initialised with the joystick), timers and clipboard stay.
sdl_options=(
  -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON
  -DSDL2_DISABLE_UNINSTALL=ON -DSDL_CCACHE=OFF
  -DSDL_POWER=OFF -DSDL_LOCALE=OFF -DSDL_DISKAUDIO=OFF -DSDL_OFFSCREEN=OFF
)
cflags=-O2

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}
say() { echo "web-deps: $*" >&2; }
now() { date +%s.%N; }
seconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }
# CPU seconds (user and system) of the finished children of the shell whose
# `times` output is in the file $1.
cpu_of() { awk 'NR == 2 { split($1, u, /[ms]/); split($2, s, /[ms]/); printf "%.1f", u[1]*60 + u[2] + s[1]*60 + s[2] }' "$1"; }

# emcc runs node for its JavaScript steps; Debian's acorn lives where only
# Debian's own node looks by default.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

# Installs the Debian packages among $@ that are missing.
ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  say "installing ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

emcc_version() { emcc -dumpversion 2>/dev/null | head -n1; }

# The known answers apply only to the emscripten they were taken from.
answers_apply() { [ "$(head -n1 "$answers")" = "# emcc $(emcc_version)" ]; }

stamp() {
  { emcc_version; dpkg-query -W -f='${Version}\n' emscripten 2>/dev/null || true
    cat "$0" "$answers"; } | sha256sum | cut -c1-12
}

digest_ok() { [ -f "$1" ] && [ "$(sha256sum "$1" | cut -d' ' -f1)" = "$2" ]; }

# The files a .dsc names (tarballs, signatures).
dsc_files() { awk '/^Checksums-Sha256:/ { on = 1; next } /^[^ ]/ { on = 0 } on { print $3 }' "$1"; }

# True when the .dsc and every file it names are in $srcdir and the pinned
# tarballs match their digests.
have_source() {
  local dsc=$1 orig=$2 orig_sum=$3 deb=$4 deb_sum=$5 f
  [ -f "$srcdir/$dsc" ] && digest_ok "$srcdir/$orig" "$orig_sum" && digest_ok "$srcdir/$deb" "$deb_sum" || return 1
  for f in $(dsc_files "$srcdir/$dsc"); do [ -f "$srcdir/$f" ] || return 1; done
}

# Puts one source package (its .dsc and the files it names) into $srcdir,
# taken from ORRERY_WEB_SOURCES or downloaded with apt-get unless an earlier
# run has them, and checks the tarballs' digests.
fetch_source() {
  local pkg=$1 ver=$2 orig=$3 orig_sum=$4 deb=$5 deb_sum=$6
  local dsc="${pkg}_${ver#*:}.dsc" f
  have_source "$dsc" "$orig" "$orig_sum" "$deb" "$deb_sum" && return 0
  if [ -n "${ORRERY_WEB_SOURCES:-}" ] && [ -f "$ORRERY_WEB_SOURCES/$dsc" ]; then
    for f in "$dsc" $(dsc_files "$ORRERY_WEB_SOURCES/$dsc"); do
      [ -f "$ORRERY_WEB_SOURCES/$f" ] && cp "$ORRERY_WEB_SOURCES/$f" "$srcdir/$f"
    done
  else
    lua_enable_source_entries
    local work
    work=$(mktemp -d)
    chmod 777 "$work"  # apt's download user writes here
    if ! (cd "$work" && apt-get source --download-only "$pkg=$ver" >"$work/apt.log" 2>&1); then
      cat "$work/apt.log" >&2
      rm -rf "$work"
      say "could not download Debian's source package $pkg $ver."
      say "put $dsc and the files it names in a folder and point ORRERY_WEB_SOURCES at it."
      return 1
    fi
    rm -f "$work/apt.log"
    for f in "$work"/*; do mv "$f" "$srcdir/"; done
    rm -rf "$work"
  fi
  if ! have_source "$dsc" "$orig" "$orig_sum" "$deb" "$deb_sum"; then
    say "$pkg $ver is incomplete, or $orig or $deb does not match its pinned SHA-256"
    say "($orig_sum, $deb_sum)."
    rm -f "$srcdir/$orig" "$srcdir/$deb"
    return 1
  fi
}

# Unpacks a fetched source package with Debian's patches applied.
unpack() {
  local pkg=$1 ver=$2 dest=$3
  dpkg-source -q -x "$srcdir/${pkg}_${ver#*:}.dsc" "$dest" >/dev/null 2>&1 ||
    { say "unpacking $pkg failed"; return 1; }
}

# Runs one step of one library, its output in a log, and records its time.
step() {
  local name=$1 phase=$2; shift 2
  local t0 log="$work/$name-$phase.log"
  t0=$(now)
  times >"$work/$name-$phase.cpu0"
  if ! "$@" >"$log" 2>&1; then
    say "$name: $phase failed; the end of $log:"
    tail -n 30 "$log" >&2
    return 1
  fi
  times >"$work/$name-$phase.cpu1"
  echo "$name $phase $(seconds_since "$t0") $(awk -v a="$(cpu_of "$work/$name-$phase.cpu0")" \
    -v b="$(cpu_of "$work/$name-$phase.cpu1")" 'BEGIN { printf "%.1f", b - a }')" >>"$work/times"
}

zlib_configure() { (cd "$work/zlib" && CFLAGS=$cflags emconfigure ./configure --static --prefix="$prefix"); }
zlib_build() { (cd "$work/zlib" && emmake make -j"$jobs" libz.a && make install); }

png_configure() {
  emcmake cmake -S "$work/libpng" -B "$work/libpng-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE="$cflags -DNDEBUG" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_FIND_ROOT_PATH="$prefix" -DZLIB_ROOT="$prefix" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_HARDWARE_OPTIMIZATIONS=OFF
}
png_build() { cmake --build "$work/libpng-build" -j "$jobs" --target install; }

gif_build() {
  (cd "$work/giflib" && emmake make -j"$jobs" libgif.a OFLAGS="$cflags" &&
   install -D -m 644 gif_lib.h "$prefix/include/gif_lib.h" &&
   install -D -m 644 libgif.a "$prefix/lib/libgif.a")
}

# The console uses nettle for SHA-1 alone, so its library holds only the
# SHA-1 objects: the whole of it is some 200 files and most of this step's
# time. A nettle function used later fails the web build's link until its
# objects are added to nettle_objects. Debian's patch touches aclocal.m4 and
# configure alike: the generated files are marked newer so that make does
# not ask for autoconf.
nettle_objects=(sha1.o sha1-compress.o write-be32.o)
nettle_configure() {
  (cd "$work/nettle" && touch configure config.h.in stamp-h.in && emconfigure ./configure --host=wasm32-unknown-emscripten CC_FOR_BUILD=cc \
     CFLAGS="$cflags" --prefix="$prefix" --disable-shared --disable-assembly --disable-fat \
     --disable-public-key --disable-openssl --disable-documentation)
}
nettle_build() {
  (cd "$work/nettle" && emmake make -j"$jobs" "${nettle_objects[@]}" &&
   emar rcs libnettle.a "${nettle_objects[@]}" &&
   install -D -m 644 libnettle.a "$prefix/lib/libnettle.a" && make install-headers install-pkgconfig)
}

sdl_configure() {
  local initial=()
  answers_apply && initial=(-C "$answers")
  emcmake cmake "${initial[@]}" -S "$work/libsdl2" -B "$work/libsdl2-build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "${sdl_options[@]}"
}
sdl_build() { cmake --build "$work/libsdl2-build" -j "$jobs" --target install; }

# SDL2 alone, and zlib, libpng, giflib and nettle in order; the two lanes run
# side by side since SDL2 is as long as the other four together.
lane_sdl() {
  step sdl2 configure sdl_configure && step sdl2 build sdl_build
}
lane_small() {
  step zlib configure zlib_configure && step zlib build zlib_build &&
  step libpng configure png_configure && step libpng build png_build &&
  step giflib build gif_build &&
  step nettle configure nettle_configure && step nettle build nettle_build
}

print_times() {
  awk '{ t[$1] = t[$1] sprintf("  %s %ss", $2, $3) ($4 == "" ? "" : " (cpu " $4 "s)") } END { for (k in t) printf "web-deps: %-8s%s\n", k, t[k] }' \
    "$1" | sort >&2
}

# The compiler, and what unpacks Debian's source packages.
ensure_packages emscripten dpkg-dev bzip2 xz-utils
srcdir="$cache/web-sources"
mkdir -p "$srcdir"

if [ "${1:-}" = "--sdl-answers" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  read -r -d "" pkg ver orig osum deb dsum <<<"${sources[2]}" || true
  fetch_source "$pkg" "$ver" "$orig" "$osum" "$deb" "$dsum"
  unpack "$pkg" "$ver" "$work/libsdl2"
  say "configuring SDL2 without known answers (several minutes)"
  emcmake cmake -S "$work/libsdl2" -B "$work/libsdl2-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    "${sdl_options[@]}" >"$work/log" 2>&1 || { tail -n 30 "$work/log" >&2; exit 1; }
  echo "# emcc $(emcc_version)"
  sed -n '2,/^set(/p' "$answers" | sed '$d'
  grep -E '^(HAVE_[A-Z0-9_]+|STDC_HEADERS|LIBC_IS_GLIBC):INTERNAL=' "$work/libsdl2-build/CMakeCache.txt" |
    sort | sed -E 's/^([^:]+):INTERNAL=(.*)$/set(\1 "\2" CACHE INTERNAL "")/'
  exit 0
fi

prefix="$cache/web-$(stamp)"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

# One build of a prefix at a time on this machine.
exec 9>"$cache/web-deps.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

# Under the lock no other build runs: an unfinished prefix or work folder is
# left from a run that failed or was stopped.
for d in "$cache"/web-[0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f] \
         "$cache"/web-work.*; do
  [ -d "$d" ] && [ ! -f "$d/.complete" ] && rm -rf "$d"
done

t_all=$(now)
work=$(mktemp -d "$cache/web-work.XXXXXX")
trap 'rm -rf "$work"' EXIT
: >"$work/times"
rm -rf "$prefix"
mkdir -p "$prefix"
say "building the web libraries into $prefix"

t0=$(now)
for entry in "${sources[@]}"; do
  read -r -d "" pkg ver orig osum deb dsum <<<"$entry" || true
  fetch_source "$pkg" "$ver" "$orig" "$osum" "$deb" "$dsum"
done
echo "all fetch $(seconds_since "$t0")" >>"$work/times"
t0=$(now)
for entry in "${sources[@]}"; do
  read -r -d "" pkg ver _ <<<"$entry" || true
  unpack "$pkg" "$ver" "$work/${pkg%1.6}"
done
echo "all unpack $(seconds_since "$t0")" >>"$work/times"

if [ "${ORRERY_WEB_SERIAL:-0}" = 1 ]; then
  lane_small && lane_sdl || exit 1
else
  # Each lane in a shell of its own, so that each counts only its own CPU.
  (lane_sdl) & sdl_pid=$!
  (lane_small) & small_pid=$!
  sdl_rc=0; wait "$sdl_pid" || sdl_rc=$?
  small_rc=0; wait "$small_pid" || small_rc=$?
  [ "$small_rc" -eq 0 ] && [ "$sdl_rc" -eq 0 ] || exit 1
fi
echo "all total $(seconds_since "$t_all")" >>"$work/times"

cp "$work/times" "$prefix/times.txt"
print_times "$prefix/times.txt"
touch "$prefix/.complete"
echo "$prefix"
