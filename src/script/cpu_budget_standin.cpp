// Stand-in for the CPU budget until it is built: no program runs, so there
// is nothing to count or control.
#include "script/cpu_budget.h"

void reset_cpu_budget() {}

void note_held_frame() {}
