// The script random generator behind rnd and srand: an instance of the engine generator of its own, so that programs leave the boot and reset effects alone.
#pragma once

#include <cstdint>

// Seeds the generator as vell_srand_state does and runs 32 steps.
void orrery_srand(uint32_t seed);
// One step's output modulo n, in [0, n); 0 for n = 0 without a step.
uint32_t orrery_random(uint32_t n);
