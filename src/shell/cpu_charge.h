// The hook through which console code charges virtual cycles to the running
// program's frame budget (scrolling the console, reading buttons).
#pragma once

#include <cstdint>

// Receives the cycles to charge; installed by the program runner.
using orrery_cpu_charge_func = void (*)(int32_t cycles);
// Null removes the hook: charges are then dropped.
void orrery_set_cpu_charge_hook(orrery_cpu_charge_func f);
// Passes cycles to the hook, when one is installed.
void orrery_charge_cpu(int32_t cycles);
