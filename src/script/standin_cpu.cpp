// Stand-in for the CPU budget until the runner keeps one: charges are only
// shown to the observer.
#include "script/cpu.h"

namespace {
orrery_cpu_observer g_observer = nullptr;
}

void orrery_set_cpu_observer(orrery_cpu_observer f) { g_observer = f; }

void spend_cpu(int32_t n) {
  if (g_observer) g_observer(n);
}

void refund_cpu(int32_t n) {
  if (g_observer) g_observer(n);
}
