#include "script/random.h"

#include "platform/rng.h"

namespace {

// Seeded by every run with the time; srand in a program seeds it again.
vell_rng_t g_rng = {0xdeadbeefu, 0x60009755u};

}  // namespace

void orrery_srand(uint32_t seed) {
  vell_srand_state(&g_rng, seed);
  for (int i = 0; i < 32; i++) vell_rand_state(&g_rng);
}

uint32_t orrery_random(uint32_t n) { return vell_random_state(&g_rng, n); }
