#include "shell/hooks.h"

#include "api/api.h"
#include "audio/channels.h"
#include "machine/app_config.h"
#include "script/runner.h"
#include "shell/browser_entry.h"
#include "shell/buttons.h"
#include "shell/console_output.h"
#include "shell/engine.h"
#include "shell/keyconfig.h"
#include "shell/message_bar.h"

namespace {

void no_call() {}
void no_frame(const vell_bitmap *) {}
int cannot_save(const vell_bitmap *) { return 1; }
int save_busy() { return 1; }
int save_idle() { return 0; }

constexpr orrery_shell_hooks with_defaults(orrery_shell_hooks h) {
  for (void (**slot)() : {&h.browser_init, &h.browser_enter, &h.browser_update, &h.browser_draw, &h.cancel_download,
                          &h.finish_running_download, &h.browser_shutdown, &h.browser_after_program, &h.reset_video})
    if (!*slot) *slot = no_call;
  if (!h.save_screenshot) h.save_screenshot = cannot_save;
  if (!h.record_video_frame) h.record_video_frame = no_frame;
  if (!h.start_gif_save) h.start_gif_save = save_busy;
  if (!h.poll_gif_save) h.poll_gif_save = save_idle;
  return h;
}

orrery_shell_hooks g_hooks = with_defaults({});

// Puts f into an empty slot.
template <class F>
void fill(F *&slot, F *f) {
  if (!slot) slot = f;
}

}  // namespace

const orrery_shell_hooks &orrery_shell_hook() { return g_hooks; }

void orrery_install_hooks(const orrery_hook_tables &given) {
  orrery_hook_tables t = given;
  fill(t.platform.exit, vell_exit);
  fill(t.platform.read_config_line, orrery_load_config);
  fill(t.platform.write_config, orrery_save_config);

  fill(t.machine.print_col, console_print_col);
  fill(t.machine.show_message, show_message_ex);
  fill(t.machine.working_cart_loaded, split_code_to_tabs);
  fill(t.machine.cart_released, vell_stop_orrery_song);
  fill(t.machine.memory_error, runner_memory_error);

  fill(t.script.install_api, add_c_functions);
  fill(t.script.block_buttons, buttons_block);

  fill(t.api.read_buttons, buttons_read);
  fill(t.api.update_buttons, buttons_update);
  fill(t.api.btn, buttons_btn);
  fill(t.api.btnp, buttons_btnp);
  fill(t.api.open_keyconfig, keyconfig_open);
  fill(t.api.start_listing, orrery_start_listing);
  fill(t.api.open_browser, open_browser);

  vell_platform_hooks_use(t.platform);
  orrery_machine_hooks_use(t.machine);
  orrery_script_hooks_use(t.script);
  orrery_api_hooks_use(t.api);
  g_hooks = with_defaults(t.shell);
}
