#include "shell/browser_entry.h"

#include "machine/pstate.h"
#include "platform/input.h"
#include "shell/buttons.h"
#include "shell/console.h"
#include "shell/hooks.h"

int open_browser() {
  orrery_state_t &c = orrery_state;
  if (pstate.program_started && !(c.head_cart_running && pstate.mode == MODE_RUNNING)) return 0;
  const bool running = pstate.mode == MODE_RUNNING;
  pstate.sub_screen = SUB_BROWSER;
  orrery_shell_hook().browser_enter();
  buttons_block();
  if (!running) return 0;
  c.head_cart_running = 0;
  pstate.pending_request = REQ_SUSPEND;
  return 1;
}

void enter_browser_from_console() {
  pstate.sub_screen = SUB_BROWSER;
  pstate.pen = 6;
  orrery_shell_hook().browser_enter();
  // The key that left the console (Escape among them) must not act in the
  // browser too, however long it is held.
  for (int32_t sc = 0; sc < k_vell_key_slots; sc++)
    if (vell_get_key_state(sc)) vell_block_key(sc);
  vell_clear_key_buffer();
  buttons_block();
}

void grant_browser_to_next_run() { orrery_state.browser_grant_pending = 1; }

void note_run_start() {
  orrery_state.head_cart_running = orrery_state.browser_grant_pending;
  orrery_state.browser_grant_pending = 0;
}

void keep_browser_grant_for_restart() { orrery_state.browser_grant_pending = orrery_state.head_cart_running; }
