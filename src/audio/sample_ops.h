// The mixer's loops over whole runs of samples: the eight-channel soft-limited sum with the volume, echo, bit reduction and low-pass; on x86-64 several samples at a time.
#pragma once

#include <cstdint>

// Each function gives exactly the result of its one-sample rule (see the
// comments); the vector forms are only a faster way to reach it.

// out[i] = the pairwise soft-limited sum of ch[0..7][i]
// (vell_mix_channels), then times volume >> 8 unless volume is 256.
void orrery_mix_run(const int16_t *const ch[8], int16_t *out, int32_t n, int32_t volume);

// x[i] = clamp((x[i] * 3 + e[i] * 2) / 4) to 16 bits, division truncating.
void orrery_echo_run(int16_t *x, const int16_t *e, int32_t n);

// x[i] keeps only bits 12-15 of its magnitude: x & 0xf000 for x >= 0,
// -((-x) & 0xf000) otherwise.
void orrery_bit_reduce_run(int16_t *x, int32_t n);

// y = (x[i] + 7 * y) / 8 from y = *last (division truncating); x[i] = y;
// *last ends as the final y.
void orrery_low_pass_run(int16_t *x, int32_t n, int32_t *last);
// The same for count runs of n samples at once: each sample waits for the
// one before it, so independent runs are interleaved to keep the processor
// busy.
void orrery_low_pass_runs(int16_t *const x[], int32_t *const last[], int32_t count, int32_t n);
