#include "shell/rng.h"

vell_rng_t vell_rng = {0xdeadbeefu, 0x60009755u};

void vell_srand(uint32_t s) {
  if (s == 0) {
    vell_rng.a = 0xdeadbeefu;
    vell_rng.b = 0x60009755u;
  } else {
    vell_rng.a = s;
    vell_rng.b = s ^ 0xbead29bau;
  }
}

uint32_t vell_rand() {
  vell_rng.b = ((vell_rng.b << 16) | (vell_rng.b >> 16)) + vell_rng.a;
  vell_rng.a += vell_rng.b;
  return vell_rng.b;
}

uint32_t vell_random(uint32_t n) { return n ? vell_rand() % n : 0; }
