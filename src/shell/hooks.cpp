#include "shell/hooks.h"

#include "api/api.h"
#include "api/hooks.h"
#include "machine/hooks.h"
#include "platform/hooks.h"
#include "script/hooks.h"
#include "script/runner.h"
#include "shell/browser_entry.h"
#include "shell/buttons.h"
#include "shell/console_output.h"
#include "shell/engine.h"
#include "shell/keyconfig.h"
#include "shell/message_bar.h"

namespace {
orrery_browser_hooks g_browser = {};
orrery_capture_hooks g_capture = {};
}  // namespace

void orrery_install_hooks() {
  vell_platform_hooks platform = {};
  platform.exit = vell_exit;
  vell_set_platform_hooks(platform);

  orrery_machine_hooks machine = {};
  machine.print_col = console_print_col;
  machine.show_message = show_message_ex;
  machine.working_cart_loaded = split_code_to_tabs;
  orrery_set_machine_hooks(machine);

  orrery_script_hooks script = {};
  script.install_api = add_c_functions;
  script.block_buttons = buttons_block;
  orrery_set_script_hooks(script);

  orrery_api_hooks api = {};
  api.read_buttons = buttons_read;
  api.update_buttons = buttons_update;
  api.btn = buttons_btn;
  api.btnp = buttons_btnp;
  api.open_keyconfig = keyconfig_open;
  api.start_listing = orrery_start_listing;
  api.open_browser = open_browser;
  api.install_demos = browser_install_demos;
  api.install_games = browser_install_games;
  orrery_set_api_hooks(api);
}

void orrery_set_browser_hooks(const orrery_browser_hooks &hooks) { g_browser = hooks; }
void orrery_set_capture_hooks(const orrery_capture_hooks &hooks) { g_capture = hooks; }

void browser_init() {
  if (g_browser.init) g_browser.init();
}
void browser_enter() {
  if (g_browser.enter) g_browser.enter();
}
void browser_update() {
  if (g_browser.update) g_browser.update();
}
void browser_draw() {
  if (g_browser.draw) g_browser.draw();
}
void browser_cancel_download() {
  if (g_browser.cancel_download) g_browser.cancel_download();
}
void browser_finish_running_download() {
  if (g_browser.finish_running_download) g_browser.finish_running_download();
}
void browser_shutdown() {
  if (g_browser.shutdown) g_browser.shutdown();
}
void browser_show_after_program() {
  if (g_browser.show_after_program) g_browser.show_after_program();
}
void browser_install_demos() {
  if (g_browser.install_demos) g_browser.install_demos();
}
void browser_install_games() {
  if (g_browser.install_games) g_browser.install_games();
}

int capture_png_screenshot(const vell_bitmap *screen) {
  return g_capture.save_png_screenshot ? g_capture.save_png_screenshot(screen) : 1;
}
void capture_video_frame(const vell_bitmap *screen) {
  if (g_capture.record_video_frame) g_capture.record_video_frame(screen);
}
void capture_reset_video() {
  if (g_capture.reset_video) g_capture.reset_video();
}
int capture_start_gif_save() { return g_capture.start_gif_save ? g_capture.start_gif_save() : 1; }
int capture_poll_gif_save() { return g_capture.poll_gif_save ? g_capture.poll_gif_save() : 0; }
