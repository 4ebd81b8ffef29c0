#include "shell/cpu_charge.h"

namespace {

orrery_cpu_charge_func g_charge = nullptr;

}  // namespace

void orrery_set_cpu_charge_hook(orrery_cpu_charge_func f) { g_charge = f; }

void orrery_charge_cpu(int32_t cycles) {
  if (g_charge) g_charge(cycles);
}
