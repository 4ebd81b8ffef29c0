// Stand-in for the CPU budget until it is built: no program runs, so there
// is nothing to count or control; charges are only shown to the observer.
#include "script/cpu_budget.h"

namespace {
orrery_cpu_observer g_observer = nullptr;
}

void reset_cpu_budget() {}

void note_held_frame() {}

void orrery_set_cpu_observer(orrery_cpu_observer f) { g_observer = f; }

void spend_cpu(int32_t n) {
  if (g_observer) g_observer(n, 0);
}

void refund_cpu(int32_t n) {
  if (g_observer) g_observer(n, 1);
}
