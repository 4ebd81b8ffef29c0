#include "shell/pause_menu.h"

#include <cstring>
#include <string>

#include "gfx/bitmap.h"
#include "api/draw.h"
#include "gfx/text.h"
#include "machine/cart_load.h"
#include "machine/cart_save.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "machine/registers.h"
#include "platform/clipboard.h"
#include "platform/input.h"
#include "platform/system.h"
#include "platform/terminal.h"
#include "script/runner.h"
#include "shell/boot.h"
#include "shell/args.h"
#include "shell/buttons.h"
#include "script/cart_menu.h"
#include "shell/console.h"
#include "shell/hooks.h"
#include "shell/engine.h"
#include "platform/config.h"
#include "platform/log.h"
#include "shell/keyconfig.h"
#include "shell/message_bar.h"
#include "shell/resources.h"

namespace {

constexpr int k_res_pointer = 245;            // 7x7 pointer before the selected row
constexpr uint32_t k_reset_interval_ms = 500; // least time between two Ctrl+R resets
constexpr int32_t k_chain_busy_frames = 20;   // frames the spinner shows before the previous cartridge runs
constexpr int32_t k_row_height = 8;

// The pause menu and the shell's keys during a run.
struct pause_menu_state {
  int32_t open = 0;                            // 1 while the menu is shown; the program stands still
  int32_t selection = 0;                       // selected row
  orrery_menu_item item[k_menu_items_max] = {};  // the rows as last built
  int32_t count = 0;                           // rows in item
  bool options = false;                        // the options page is shown instead of the first page
  bool exec_pause_noted = false;               // the skipped pause of an exec-mode run was noted
  bool reset_used = false;                     // Ctrl+R has reset the cartridge before
  uint32_t reset_ms = 0;                       // when it last did
};

pause_menu_state g;

// A record for the table; the label's rest is zeroed.
orrery_menu_item make_item(const char *label, int32_t action) {
  orrery_menu_item it;
  memset(&it, 0, sizeof it);
  if (label) memcpy(it.label, label, strnlen(label, k_menu_label_max));
  it.action = action;
  return it;
}

// Runs the cartridge that loaded this one with a breadcrumb, with the
// parameters it had then. Returns false (menu left open) when the chain
// names no file or the file cannot be loaded.
bool run_chain_back() {
  const char *file = get_run_chain_filename();
  if (!file || !file[0]) return false;
  const std::string path = file;
  const char *param = get_run_chain_param_str();
  const std::string param_copy = param ? param : "";
  if (load_working_cart(path.c_str()) != 0) {
    show_message("could not load", 1500);
    return false;
  }
  split_code_to_tabs();
  pstate.pending_request = REQ_RUN;
  set_param_string(param_copy.c_str());
  pstate.busy_countdown = k_chain_busy_frames;
  pop_run_chain();
  return true;
}

// Shows the first page or the options page, with the given row selected.
void show_page(bool options, int32_t selection) {
  g.options = options;
  build_paused_menu();
  g.selection = selection < g.count ? selection : 0;
}

int32_t row_of(int32_t action) {
  for (int32_t i = 0; i < g.count; i++)
    if (g.item[i].action == action) return i;
  return 0;
}

void choose(int32_t action) {
  if (action > 255) {
    close_paused_menu();
    choose_cart_menu_item(action - MENU_CART_ITEM);
    return;
  }
  switch (action) {
    case MENU_CONTINUE:
      close_paused_menu();
      break;
    case MENU_RESET:
      close_paused_menu();
      start_reset_glitch();
      break;
    case MENU_EXIT_TO_BROWSER:
      close_paused_menu();
      pstate.pending_request = REQ_SUSPEND;
      orrery_shell_hook().browser_after_program();
      break;
    case MENU_RUN_CHAIN_BACK:
      if (run_chain_back()) close_paused_menu();
      break;
    case MENU_QUIT:
      vell_state.quit = 1;
      break;
    case MENU_OPTIONS:
      show_page(true, 0);
      break;
    case MENU_SOUND:
      toggle_mute();
      show_page(true, g.selection);
      break;
    case MENU_KEYCONFIG:
      keyconfig_open();
      break;
    case MENU_OPTIONS_BACK:
      show_page(false, 0);
      g.selection = row_of(MENU_OPTIONS);
      break;
    default:
      break;
  }
}

void outline(vell_bitmap *page, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t c) {
  vell_rectfill(page, x0, y0, x1, y0, c);
  vell_rectfill(page, x0, y1, x1, y1, c);
  vell_rectfill(page, x0, y0, x0, y1, c);
  vell_rectfill(page, x1, y0, x1, y1, c);
}

bool ctrl_held() { return vell_get_key_state(k_key_any_ctrl) != 0; }

// Ctrl+R: reads the cartridge file again when it changed and restarts the
// program through the reset glitch. Returns true when it did.
bool reset_key() {
  const uint32_t now = vell_get_time();
  if (pstate.reset_glitch != 0) return false;
  if (g.reset_used && now - g.reset_ms <= k_reset_interval_ms) return false;
  do_quick_load();
  start_reset_glitch();
  g.reset_used = true;
  g.reset_ms = now;
  return true;
}

// The pause button of player 0 opens the menu, unless the program asked
// (with 1 in 0x5f30) to have this one press for itself.
void pause_button() {
  if (!pstate.program_started || !buttons_down(BTN_PAUSE, 0) || g.open) return;
  if (orrery_peek(&pstate, pstate.cart, k_addr_pause_suppress) != 1) {
    open_paused_menu();
    buttons_block();
    return;
  }
  orrery_poke(&pstate, pstate.cart, k_addr_pause_suppress, 0);
  // The press is swallowed whole: it neither opens the menu nor reaches the
  // program's btn in this frame.
  buttons_consume(BTN_PAUSE, 0);
}

}  // namespace

orrery_menu_item *add_paused_menu_item(const char *label, int32_t action) {
  if (g.count >= k_menu_items_max) return nullptr;
  orrery_menu_item *it = &g.item[g.count++];
  *it = make_item(label, action);
  return it;
}

void build_paused_menu() {
  g.count = 0;
  if (g.options) {
    add_paused_menu_item(vell_config().sound_volume > 0 ? "sound:on" : "sound:off", MENU_SOUND);
    add_paused_menu_item("key config", MENU_KEYCONFIG);
    add_paused_menu_item("back", MENU_OPTIONS_BACK);
    return;
  }
  add_paused_menu_item("continue", MENU_CONTINUE);
  for (int32_t n = 1; n <= k_cart_menu_slots; n++)
    if (cart_menu_label(n)[0]) add_paused_menu_item(cart_menu_label(n), MENU_CART_ITEM + n);
  add_paused_menu_item("reset cart", MENU_RESET);
  const char *back = get_run_chain_label();
  if (back && back[0]) add_paused_menu_item(back, MENU_RUN_CHAIN_BACK);
  add_paused_menu_item("options", MENU_OPTIONS);
  add_paused_menu_item("quit", MENU_QUIT);
  if (pstate.sub_screen == SUB_BROWSER) add_paused_menu_item("exit to cartfind", MENU_EXIT_TO_BROWSER);
}

void paused_menu_reset() { g = pause_menu_state{}; }

int32_t paused_menu_open() { return g.open; }
int32_t paused_menu_selection() { return g.selection; }

int32_t paused_menu_count() { return g.count; }

const orrery_menu_item *paused_menu_item(int32_t index) {
  return index >= 0 && index < g.count ? &g.item[index] : nullptr;
}

void open_paused_menu() {
  // Exec mode has no one to choose from the menu, and a run that waited for
  // it would never end: the program goes on at once, and the first such
  // request of the run is noted on standard output.
  if (orrery_config().exec_mode) {
    runner_set_paused(0);
    if (!g.exec_pause_noted) vell_terminal_line(stdout, "** ", "pause menu skipped in exec mode");
    g.exec_pause_noted = true;
    return;
  }
  g.options = false;
  build_paused_menu();
  g.open = 1;
  g.selection = 0;
  runner_set_paused(1);
  vell_debugf("pause menu: open with %d rows\n", static_cast<int>(g.count));
}

void close_paused_menu() {
  if (g.open) vell_debug("pause menu: closed\n");
  g.open = 0;
  runner_set_paused(0);
}

void process_paused_keypresses() {
  if (!g.open || g.count < 1) return;
  int32_t sel = g.selection;
  if (buttons_pressed(BTN_UP, 0)) sel--;
  if (buttons_pressed(BTN_DOWN, 0)) sel++;
  sel %= g.count;
  if (sel < 0) sel += g.count;
  if (sel != g.selection) vell_debugf("pause menu: row %d\n", static_cast<int>(sel));
  g.selection = sel;
  if (buttons_pressed(BTN_O, 0) || buttons_pressed(BTN_X, 0) || buttons_pressed(BTN_PAUSE, 0)) {
    for (int32_t b = BTN_O; b <= BTN_PAUSE; b++) {
      buttons_consume(b, 0);
    }
    vell_debugf("pause menu: chose %s\n", g.item[sel].label);
    choose(g.item[sel].action);
  }
  // The key that closed the menu must not reach the program.
  if (!g.open) buttons_block();
}

void process_running_keypresses() {
  while (vell_keypressed()) {
    const int32_t key = vell_readkey();
    if (!ctrl_held()) continue;
    if (key == 'r') {
      if (reset_key()) {
        vell_clear_key_buffer();
        break;
      }
    } else if (key == 's') {
      do_quick_save();
    } else if (key == 'v') {
      runner_set_clipboard(vell_get_clipboard_text());
    }
  }
  // The program asked to be paused (_set_paused): the menu shows as if the
  // pause button had been pressed.
  if (orrery_runner().paused && pstate.program_started && !g.open) {
    open_paused_menu();
    buttons_block();
  }
  pause_button();
}

void draw_paused_menu(vell_bitmap *page) {
  if (!page) return;
  const int32_t h = (g.count * k_row_height + 8) / 2;
  // Left Shift held shows the fixed darkening instead of the adaptive one.
  constexpr int32_t k_left_shift = 225;
  draw_tinted_rect_adaptive(page, 23, 63 - h, 105, 65 + h, vell_get_key_state(k_left_shift) ? 0 : 1);
  outline(page, 24, 64 - h, 104, 64 + h, 7);
  vell_bitmap *pointer = orrery_resource_bitmap(k_res_pointer);
  int32_t y = 69 - h;
  for (int32_t i = 0; i < g.count; i++, y += k_row_height) {
    const bool selected = i == g.selection;
    if (pstate.font)
      vell_draw_text_ex(page, g.item[i].label, pstate.font, selected ? 35 : 34, y + 1, k_text_colour, 7);
    if (selected && pointer) vell_draw_sprite(pointer, page, 0, 0, 25, y, 7, 7);
  }
}
