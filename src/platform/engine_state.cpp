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
  vell_platform_hook().exit();
  vell_end_process(0);
}

void vell_report_fatal(const char *text) {
  fputs(text, stdout);
  fflush(stdout);
  fputs(text, stderr);
  vell_debug(text);
}

[[noreturn]] void vell_fatal_error(const char *message) {
  char text[1024];
  snprintf(text, sizeof text, "\n\n** FATAL ERROR: %s\n\n", message);
  vell_report_fatal(text);
  const char *detail = vell_platform_error();
  if (detail && *detail) {
    snprintf(text, sizeof text, "SDL Error: %s\n", detail);
    vell_report_fatal(text);
  }
  // A launcher or a script must see the failure.
  vell_platform_hook().exit();
  vell_end_process(1);
}
