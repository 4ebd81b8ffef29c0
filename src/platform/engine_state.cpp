#include "platform/engine_state.h"

#include <cstdio>
#include <cstdlib>

#include "platform/hooks.h"
#include "platform/log.h"
#include "platform/system.h"

// The one engine record: written by start-up, the outer loop and signal
// handlers, read everywhere.
vell_state_t vell_state;

[[noreturn]] void vell_end_process(int code) {
  fflush(stdout);
  fflush(stderr);
  exit(code);
}

[[noreturn]] void vell_quit_process() {
  vell_run_exit_hook();
  vell_end_process(0);
}

[[noreturn]] void vell_fatal_error(const char *message) {
  printf("\n\n** FATAL ERROR: %s\n\n", message);
  vell_debugf("\n\n** FATAL ERROR: %s\n\n", message);
  const char *detail = vell_platform_error();
  if (detail && *detail) {
    printf("SDL Error: %s\n", detail);
    vell_debugf("SDL Error: %s\n", detail);
  }
  vell_quit_process();
}
