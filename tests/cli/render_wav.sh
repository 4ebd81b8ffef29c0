#!/usr/bin/env bash
# orrery-render writes the mixer's output as a WAV file that sox reads back
# with the expected format, pitch and peak; bad command lines fail with
# their own exit codes.
set -euo pipefail
build=$1
render=$build/orrery-render
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# A sound line: header (editor mode, speed, loop start, loop end) and note 0
# as pitch, waveform, volume, effect; the other 31 notes are silent.
sound() { printf '00%02x0000%02x%x%x0' "$1" "$2" "$3" "$4"; printf '00000%.0s' $(seq 31); echo; }
{
  echo "orrery cartridge // render test"
  echo "version 12"
  echo "__lua__"
  echo "__sfx__"
  sound 1 0 0 0
  sound 255 33 0 7   # sound 1: triangle at 440 Hz
  sound 255 45 3 7   # sound 2: square an octave higher
  echo "__music__"
  echo "00 02414243"   # pattern 0: sound 2 in column 0
} > "$dir/tones.q7"

# Loudest spectrum line of sox's frequency analysis, in Hz.
peak_frequency() {
  sox "$1" -n stat -freq 2>&1 | awk 'NF == 2 && $1 ~ /^[0-9.]+$/ && $2 + 0 > best { best = $2 + 0; f = $1 } END { print f }'
}
max_amplitude() { sox "$1" -n stat 2>&1 | awk '/^Maximum amplitude/ { print $3 }'; }
between() { awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v >= lo && v <= hi) }'; }

"$render" "$dir/tones.q7" "$dir/tri.wav" 1 sfx 1 || fail "render sfx exited with $?"
[ "$(echo $(sox --i -r "$dir/tri.wav") $(sox --i -c "$dir/tri.wav") $(sox --i -b "$dir/tri.wav") $(sox --i -s "$dir/tri.wav"))" = "22050 1 16 22050" ] ||
  fail "rate, channels, bits or sample count"
f=$(peak_frequency "$dir/tri.wav")
between "$f" 434 446 || fail "triangle frequency $f, expected about 439.7"
a=$(max_amplitude "$dir/tri.wav")
# 16128 of 32768 at most; the phase never lands exactly on the peak.
between "$a" 0.4900 0.4922 || fail "triangle peak $a, expected just under 0.4922"

"$render" "$dir/tones.q7" "$dir/song.wav" 0.5 music 0 || fail "render music exited with $?"
[ "$(sox --i -s "$dir/song.wav")" = 11025 ] || fail "half a second"
f=$(peak_frequency "$dir/song.wav")
between "$f" 870 890 || fail "square frequency $f, expected about 879.9"
a=$(max_amplitude "$dir/song.wav")
between "$a" 0.2459 0.2461 || fail "square peak $a, expected 8062 / 32768"

set +e
"$render" "$dir/tones.q7" "$dir/x.wav" 1 noise 1 2>/dev/null; [ $? -eq 1 ] || fail "unknown kind should exit 1"
"$render" "$dir/tones.q7" "$dir/x.wav" -2 sfx 1 2>/dev/null; [ $? -eq 1 ] || fail "negative seconds should exit 1"
"$render" "$dir/missing.q7" "$dir/x.wav" 1 sfx 1 2>/dev/null; [ $? -eq 2 ] || fail "missing cartridge should exit 2"
# Cartridges that are not regular files are refused at once, not waited on.
mkfifo "$dir/fifo.q7"; ln -s /dev/zero "$dir/zero.q7"
for c in fifo zero; do
  timeout 10 "$render" "$dir/$c.q7" "$dir/x.wav" 1 sfx 1 2>/dev/null; [ $? -eq 2 ] || fail "$c cartridge should exit 2"
done
"$render" "$dir/tones.q7" "$dir/no/such/folder/x.wav" 1 sfx 1 2>/dev/null; [ $? -eq 3 ] || fail "unwritable output should exit 3"
set -e
echo "render_wav: ok"
