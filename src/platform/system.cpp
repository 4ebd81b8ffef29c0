#include "platform/system.h"

#include <ctime>

#include "platform/backends.h"
#include "platform/config.h"

namespace {

struct system_state {
  int app_active = 1;            // 1 while the window has keyboard focus (always without one)
  uint32_t activation_time = 0;  // time the window last became active, ms
};

system_state g_sys;

}  // namespace

void vell_system_init() { vell_backends_start(vell_config().headless); }

void vell_system_exit() { vell_backends_stop(); }

void vell_reset_timer() { vell_backends.clock.restart(); }

uint32_t vell_get_time() { return vell_backends.clock.now_ms(); }

void vell_delay(uint32_t ms) {
  if (ms) vell_backends.clock.sleep_ms(ms);
}

void vell_run_loop(int (*turn)()) { vell_backends.clock.run_loop(turn); }

int vell_is_app_active() { return g_sys.app_active; }

void vell_set_app_active(int active) {
  // Every activation counts, so that the Tab of an Alt+Tab back into the
  // window is recognised.
  if (active) g_sys.activation_time = vell_get_time();
  g_sys.app_active = active;
}

uint32_t vell_app_activation_time() { return g_sys.activation_time; }

void *vell_create_thread(vell_thread_func f) { return vell_backends.threads.start(f); }

void vell_destroy_thread(void *handle) {
  if (handle) vell_backends.threads.detach(handle);
}

void vell_wait_thread(void *handle) {
  if (handle) vell_backends.threads.join(handle);
}

const char *vell_platform_error() { return vell_backends.video.last_error(); }

int64_t vell_get_calendar_seconds() { return static_cast<int64_t>(time(nullptr)); }
