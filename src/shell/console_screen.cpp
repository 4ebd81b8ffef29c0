#include "shell/console_screen.h"

#include "gfx/bitmap.h"
#include "machine/app_config.h"
#include "machine/cart_load.h"
#include "machine/hooks.h"
#include "machine/pstate.h"
#include "platform/input.h"
#include "platform/log.h"
#include "script/runner.h"
#include "shell/browser_entry.h"
#include "shell/buttons.h"

namespace {

orrery_console_screen_t g;

constexpr int32_t k_code_escape = 27;  // typed codes of Escape and Return (or keypad Enter)
constexpr int32_t k_code_enter = 13;

// Nothing else is on the screen and nothing is about to happen.
bool at_text_screen() {
  return !orrery_config().exec_mode && pstate.mode == MODE_CONSOLE && pstate.sub_screen == SUB_NONE &&
         pstate.pending_request == REQ_NONE && pstate.reset_glitch == 0;
}

// The key that ended the program must not also leave the screen.
void settle_input() {
  vell_clear_key_buffer();
  buttons_block();
}

void print_hints(bool error) {
  if (error) {
    orrery_print("");
    orrery_print_col("ctrl+r: reload the cart and run", 13);
    orrery_print_col("esc or enter: back to cartfind", 13);
  } else {
    orrery_print_col("press any button or esc", 13);
    orrery_print_col("to return to cartfind", 13);
  }
}

// Ctrl+R: the cartridge's file is read again when it changed on disk, and
// the cartridge runs with the parameters it had.
void reload_and_run() {
  vell_debug("console: reload and run\n");
  do_quick_load();
  restore_param_string();
  pstate.pending_request = REQ_RUN;
}

}  // namespace

const orrery_console_screen_t &console_screen_state() { return g; }

void console_screen_show_greeting() {
  vell_reset_clip(pstate.screen);
  if (pstate.screen) vell_rectfill(pstate.screen, 0, 0, pstate.screen->w - 1, pstate.screen->h - 1, 0);
  pstate.cursor_x = pstate.cursor_y = 0;
  pstate.pen = 6;
  orrery_print_col("::::::  orrery console  ::::::", 7);
  orrery_print("");
  orrery_print("press any button or esc");
  orrery_print("to return to cartfind");
  orrery_print("");
  g = orrery_console_screen_t{};
  g.shown = 1;
  settle_input();
  vell_debug("console: greeting\n");
}

void console_screen_watch() {
  orrery_console_screen_t &s = g;
  if (!at_text_screen()) {
    s = {0, 0};
    return;
  }
  if (s.shown) return;
  const bool error = orrery_runner().ended_in_error != 0;
  s = {1, error ? 1 : 0};
  vell_debugf("console: text screen%s\n", error ? " with an error" : "");
  print_hints(error);
  settle_input();
}

void console_screen_update() {
  const orrery_console_screen_t &s = g;
  if (!s.shown) return;
  bool back = false, reload = false;
  while (vell_keypressed()) {
    const int32_t code = vell_readkey();
    if (code == k_code_escape || code == k_code_enter) back = true;
    else if (code == 'r' && vell_last_key_with_ctrl()) reload = true;
  }
  if (buttons_pressed(BTN_PAUSE, 0)) back = true;
  for (int32_t p = 0; p < k_players && !s.error; p++)
    for (int32_t b = BTN_LEFT; b <= BTN_PAUSE; b++) back = back || buttons_pressed(b, p);
  if (reload) {
    reload_and_run();
  } else if (back) {
    vell_debug("console: back to cartfind\n");
    enter_browser_from_console();
  }
}
