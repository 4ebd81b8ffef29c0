#include "script/hooks.h"

namespace {

void no_api(lua_State *) {}
void no_block() {}
void no_observer(int32_t, int) {}

constexpr orrery_script_hooks with_defaults(orrery_script_hooks h) {
  if (!h.install_api) h.install_api = no_api;
  if (!h.block_buttons) h.block_buttons = no_block;
  if (!h.cpu_charged) h.cpu_charged = no_observer;
  return h;
}

orrery_script_hooks g_hooks = with_defaults({});

}  // namespace

void orrery_script_hooks_use(const orrery_script_hooks &hooks) { g_hooks = with_defaults(hooks); }

const orrery_script_hooks &orrery_script_hook() { return g_hooks; }
