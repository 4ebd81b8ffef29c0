#include "platform/hooks.h"

namespace {
vell_platform_hooks g_hooks = {};
}

void vell_set_platform_hooks(const vell_platform_hooks &hooks) { g_hooks = hooks; }

void vell_run_exit_hook() {
  if (g_hooks.exit) g_hooks.exit();
}
