#include "api/hooks.h"

namespace {

void no_call() {}
int32_t no_button(int, int32_t, int32_t) { return 0; }
void no_listing(const char *) {}
int no_browser() { return 0; }
int no_install() { return 0; }

constexpr orrery_api_hooks with_defaults(orrery_api_hooks h) {
  if (!h.read_buttons) h.read_buttons = no_call;
  if (!h.update_buttons) h.update_buttons = no_call;
  if (!h.btn) h.btn = no_button;
  if (!h.btnp) h.btnp = no_button;
  if (!h.open_keyconfig) h.open_keyconfig = no_call;
  if (!h.start_listing) h.start_listing = no_listing;
  if (!h.open_browser) h.open_browser = no_browser;
  if (!h.install_demos) h.install_demos = no_install;
  if (!h.install_games) h.install_games = no_call;
  return h;
}

orrery_api_hooks g_hooks = with_defaults({});

}  // namespace

void orrery_api_hooks_use(const orrery_api_hooks &hooks) { g_hooks = with_defaults(hooks); }

const orrery_api_hooks &orrery_api_hook() { return g_hooks; }
