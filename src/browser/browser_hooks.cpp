#include "browser/browser_hooks.h"

#include "browser/cartfind.h"
#include "browser/catalogue.h"
#include "browser/install_carts.h"
#include "shell/hooks.h"

void orrery_install_browser() {
  orrery_browser_hooks hooks = {};
  hooks.init = cartfind_init;
  hooks.enter = cartfind_enter;
  hooks.update = cartfind_update;
  hooks.draw = cartfind_draw;
  hooks.cancel_download = cancel_download;
  hooks.finish_running_download = finish_running_download;
  hooks.shutdown = shutdown_downloads;
  hooks.show_after_program = cartfind_show_after_program;
  hooks.install_demos = [] { install_demo_carts(); };
  hooks.install_games = install_games;
  orrery_set_browser_hooks(hooks);
}
