#include "shell/fast_run.h"

#include "machine/app_config.h"
#include "platform/config.h"
#include "platform/backends.h"
#include "platform/engine_state.h"
#include "platform/log.h"
#include "platform/system.h"

namespace {

struct fast_run_t {
  int active = 0;                  // 1 while the virtual clock is installed
  uint32_t base_ms = 0;            // clock reading when it was installed
  uint64_t iterations = 0;         // loop iterations since then
  int32_t credit = 0;              // frame owed, in 1/60 of a frame: each iteration adds the rate, a frame is due at 60
  int64_t frames = 0;              // logical frames of this exec-mode run
  vell_clock_source saved = {};    // the clock the virtual one replaced (the real one, a test's or a tool's)
};

fast_run_t g_fast;

// Exact to the millisecond however long the run: the iteration count is
// turned into time in one step instead of summing rounded steps.
uint32_t virtual_now() {
  return g_fast.base_ms + static_cast<uint32_t>(g_fast.iterations * 1000 / k_fast_iterations_per_second);
}

}  // namespace

void orrery_fast_start() {
  g_fast.frames = 0;
  if (!orrery_config().exec_mode) {
    if (orrery_config().fast || orrery_config().frame_limit) vell_debug("-fast and -frames apply to exec mode only\n");
    return;
  }
  if (!orrery_config().fast) return;
  const uint32_t now = vell_get_time();
  if (!g_fast.active) g_fast.saved = vell_backends.clock;
  g_fast.active = 1;
  g_fast.base_ms = now;
  g_fast.iterations = 0;
  g_fast.credit = 0;
  // Only the time is virtual: sleeping (waiting for a worker) stays real.
  vell_clock_source clock = g_fast.saved;
  clock.now_ms = virtual_now;
  vell_clock_source_use(&clock);
  // For this run only: config.txt keeps the sleep times it was read with.
  vell_config_set(&vell_config_t::foreground_sleep_ms, 0);
  vell_config_set(&vell_config_t::background_sleep_ms, 0);
}

void orrery_fast_stop() {
  if (!g_fast.active) return;
  g_fast.active = 0;
  vell_clock_source_use(&g_fast.saved);
}

int orrery_fast_active() { return g_fast.active; }

int orrery_fast_frame_due(int32_t fps) {
  g_fast.iterations++;
  // As on the real clock, a rate of 0 or less never makes a frame due.
  if (fps < 1) return 0;
  if (fps > k_fast_iterations_per_second) fps = k_fast_iterations_per_second;
  g_fast.credit += fps;
  if (g_fast.credit < k_fast_iterations_per_second) return 0;
  g_fast.credit -= k_fast_iterations_per_second;
  return 1;
}

void orrery_count_exec_frame() {
  if (!orrery_config().exec_mode || orrery_config().frame_limit <= 0) return;
  if (++g_fast.frames < orrery_config().frame_limit || vell_state.quit) return;
  vell_debugf("frame limit reached: %lld frames\n", static_cast<long long>(g_fast.frames));
  vell_state.quit = 1;
}
