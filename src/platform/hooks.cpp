#include "platform/hooks.h"

namespace {

void no_exit() {}
void no_config_line(const char *) {}
void no_config_part(FILE *) {}

constexpr vell_platform_hooks with_defaults(vell_platform_hooks h) {
  if (!h.exit) h.exit = no_exit;
  if (!h.read_config_line) h.read_config_line = no_config_line;
  if (!h.write_config) h.write_config = no_config_part;
  return h;
}

vell_platform_hooks g_hooks = with_defaults({});

}  // namespace

void vell_platform_hooks_use(const vell_platform_hooks &hooks) { g_hooks = with_defaults(hooks); }

const vell_platform_hooks &vell_platform_hook() { return g_hooks; }
