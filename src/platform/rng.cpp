#include "platform/rng.h"

namespace {

// The engine generator of the main thread (boot and reset effects, the
// glitch test's buttons); seeded with 0 at every engine start.
vell_rng_t g_rng = {0xdeadbeefu, 0x60009755u};

}  // namespace

vell_rng_t vell_rng_state() { return g_rng; }

void vell_srand_state(vell_rng_t *g, uint32_t s) {
  if (s == 0) {
    g->a = 0xdeadbeefu;
    g->b = 0x60009755u;
  } else {
    g->a = s;
    g->b = s ^ 0xbead29bau;
  }
}

void vell_srand(uint32_t s) { vell_srand_state(&g_rng, s); }
uint32_t vell_rand() { return vell_rand_state(&g_rng); }
uint32_t vell_random(uint32_t n) { return vell_random_state(&g_rng, n); }
