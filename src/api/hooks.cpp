#include "api/hooks.h"

namespace {
orrery_api_hooks g_hooks = {};
}

void orrery_set_api_hooks(const orrery_api_hooks &hooks) { g_hooks = hooks; }

void read_buttons() {
  if (g_hooks.read_buttons) g_hooks.read_buttons();
}

void update_buttons() {
  if (g_hooks.update_buttons) g_hooks.update_buttons();
}

int32_t orrery_btn(int nargs, int32_t i, int32_t p) { return g_hooks.btn ? g_hooks.btn(nargs, i, p) : 0; }

int32_t orrery_btnp(int nargs, int32_t i, int32_t p) { return g_hooks.btnp ? g_hooks.btnp(nargs, i, p) : 0; }

void orrery_open_keyconfig() {
  if (g_hooks.open_keyconfig) g_hooks.open_keyconfig();
}

void orrery_start_folder_listing(const char *filter) {
  if (g_hooks.start_listing) g_hooks.start_listing(filter);
}

int orrery_open_browser() { return g_hooks.open_browser ? g_hooks.open_browser() : 0; }

void orrery_install_demos() {
  if (g_hooks.install_demos) g_hooks.install_demos();
}

void orrery_install_games() {
  if (g_hooks.install_games) g_hooks.install_games();
}
