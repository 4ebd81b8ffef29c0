// Stand-in for the program runner until it is built: cartridges are not run
// yet; stopping and resetting do only what the console needs to go on.
#include "machine/memory.h"
#include "machine/pstate.h"
#include "script/runner.h"

void run_cart() {}

void run_slice() {}

void suspend_program() {
  if (pstate.reset_glitch) return;
  pstate.mode = MODE_CONSOLE;
  pstate.hold_frame = 0;
}

void reset_interpreter() {}

void reset_runtime_state() {
  orrery_reset_registers(&pstate);
  pstate.cursor_y = 0;
  gpio_open();
}

void restore_param_string() {}

void run_chain_cancel_pending() {}

void run_chain_confirm_pending() {}
