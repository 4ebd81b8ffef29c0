#include "script/hooks.h"

namespace {
orrery_script_hooks g_hooks = {};
}

void orrery_set_script_hooks(const orrery_script_hooks &hooks) { g_hooks = hooks; }

void runner_install_api(lua_State *L) {
  if (g_hooks.install_api) g_hooks.install_api(L);
}

void block_buttons() {
  if (g_hooks.block_buttons) g_hooks.block_buttons();
}
