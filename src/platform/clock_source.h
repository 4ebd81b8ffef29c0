// The clock contract: milliseconds since start and sleeping, whatever keeps the time.
#pragma once

#include <cstdint>

struct vell_clock_source {
  uint32_t (*now_ms)();           // ms since the last restart; wraps after 49 days
  void (*restart)();              // now_ms counts from 0 again
  void (*sleep_ms)(uint32_t ms);  // gives the processor up for about ms; a backend whose
                                  // main loop must not block leaves it empty
  // Calls turn until it returns 0. Left empty, it loops right here; a host
  // whose own event loop must keep running (a browser tab) calls turn from
  // that loop instead, once per display frame, and returns at once.
  void (*run_loop)(int (*turn)());
};

// Installs the clock: a copy of backend, its empty slots filled with
// do-nothing defaults (a clock that stays at 0). Null hands the choice back
// to vell_backends_start.
void vell_clock_source_use(const vell_clock_source *backend);
