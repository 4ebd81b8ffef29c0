#include "browser/browser_hooks.h"

#include "browser/cartfind.h"
#include "browser/catalogue.h"
#include "browser/install_carts.h"
#include "shell/hooks.h"

void orrery_browser_entry_points(orrery_hook_tables &hooks) {
  orrery_shell_hooks &s = hooks.shell;
  s.browser_init = cartfind_init;
  s.browser_enter = cartfind_enter;
  s.browser_update = cartfind_update;
  s.browser_draw = cartfind_draw;
  s.cancel_download = cancel_download;
  s.finish_running_download = finish_running_download;
  s.browser_shutdown = shutdown_downloads;
  s.browser_after_program = cartfind_show_after_program;
  hooks.api.install_demos = install_demo_carts;
  hooks.api.install_games = install_games;
}
