// The mixer callback: per-channel effects (half rate, echo, bit reduction,
// low-pass), silencing music under sound effects, the pairwise soft
// limiter and the sound volume.
#pragma once

#include <cstdint>

// Largest block mixed in one pass; longer device buffers are mixed in
// several passes.
constexpr int32_t k_mix_block = 8192;

// Fills count samples (22050 Hz, mono, signed 16-bit). Runs on the audio
// device's thread with the device lock held; allocates nothing.
void vell_mixer_callback(int16_t *samples, int count);

// The soft limiter that sums two channels: past +-24576 the excess counts
// one fifth, so that the sum of two 16-bit samples stays 16-bit.
inline int32_t vell_soft_sum(int32_t a, int32_t b) {
  const int32_t s = a + b;
  if (s >= 24576) return (s - 24576) / 5 + 24576;
  if (s <= -24576) return (s + 24576) / 5 - 24576;
  return s;
}

// Sums the eight channels' samples pairwise through the limiter: the sound
// effects 0+1 and 2+3, then the music 4+5 and 6+7, then both halves.
inline int32_t vell_mix_channels(const int32_t c[8]) {
  const int32_t sfx = vell_soft_sum(vell_soft_sum(c[0], c[1]), vell_soft_sum(c[2], c[3]));
  const int32_t music = vell_soft_sum(vell_soft_sum(c[4], c[5]), vell_soft_sum(c[6], c[7]));
  return vell_soft_sum(sfx, music);
}
