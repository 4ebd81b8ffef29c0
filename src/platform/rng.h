// The engine random generator used by the boot and reset effects.
#pragma once

#include <cstdint>

struct vell_rng_t {
  uint32_t a, b;  // the generator's two words
};

// The engine generator's state (for tests).
vell_rng_t vell_rng_state();

// s = 0 seeds a := 0xdeadbeef, b := 0x60009755; otherwise a := s,
// b := s ^ 0xbead29ba.
void vell_srand(uint32_t s);
// One step: b := rotl(b, 16) + a, a := a + b; yields b.
uint32_t vell_rand();
// vell_rand() mod n (0 for n = 0, without a step).
uint32_t vell_random(uint32_t n);

// The same three operations on a generator of the caller's own, for a
// thread that must not share the engine's instance (the audio mixer).
// (Inline: the mixer draws from its generator for every noise sample.)
void vell_srand_state(vell_rng_t *g, uint32_t s);
inline uint32_t vell_rand_state(vell_rng_t *g) {
  g->b = ((g->b << 16) | (g->b >> 16)) + g->a;
  g->a += g->b;
  return g->b;
}
inline uint32_t vell_random_state(vell_rng_t *g, uint32_t n) { return n ? vell_rand_state(g) % n : 0; }
