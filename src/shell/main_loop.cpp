#include "shell/main_loop.h"

#include <cstdio>
#include <cstring>

#include "audio/audio.h"
#include "audio/channels.h"
#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "platform/config.h"
#include "platform/input.h"
#include "platform/system.h"
#include "platform/video.h"
#include "script/cpu_budget.h"
#include "script/runner.h"
#include "shell/boot.h"
#include "shell/browser_entry.h"
#include "shell/buttons.h"
#include "shell/console.h"
#include "shell/console_output.h"
#include "shell/console_screen.h"
#include "shell/engine.h"
#include "shell/fast_run.h"
#include "shell/hooks.h"
#include "shell/keyconfig.h"
#include "shell/message_bar.h"
#include "shell/pause_menu.h"
#include "shell/presentation.h"
#include "shell/resources.h"
#include "shell/watch.h"

namespace {

// Scancodes of the shortcut keys.
enum : int32_t {
  SC_M = 16,
  SC_Q = 20,
  SC_6 = 35,
  SC_7 = 36,
  SC_8 = 37,
  SC_9 = 38,
  SC_0 = 39,
  SC_ESCAPE = 41,
  SC_F1 = 58,
  SC_F3 = 60,
  SC_F4 = 61,
  SC_F6 = 63,
  SC_F7 = 64,
  SC_F8 = 65,
  SC_F9 = 66,
};

constexpr int32_t k_glitch_test_trigger = 12;  // frames of a run before the test starts a glitch
constexpr int32_t k_glitch_test_rounds = 48;   // the test ends the process after this many runs
constexpr int32_t k_audio_pause_tail = 4;      // updates audio stays paused after its reason ends
constexpr int32_t k_busy_download_floor = 10;  // the busy countdown stops here while a download runs
constexpr int k_res_spinner = 212;             // 12 frames of the busy spinner
constexpr int k_res_download = 229;            // 16 frames of the download animation

bool pressed(int32_t sc) { return vell_get_key_state(sc) == k_key_pressed; }
bool ctrl_held() { return vell_get_key_state(k_key_any_ctrl) != 0; }

void update_and_read_buttons() {
  buttons_update();
  buttons_read();
}

void update_glitch_test() {
  orrery_state_t &c = orrery_state;
  if (!c.glitch_test) return;
  if (pstate.mode == MODE_RUNNING && ++c.glitch_test == k_glitch_test_trigger) start_reset_glitch();
  if (pstate.pending_request == REQ_RUN) {
    orrery_shell_hook().save_screenshot(c.video_frame);
    c.glitch_test = 1;
    if (++c.glitch_test_rounds >= k_glitch_test_rounds) {
      vell_exit();
      vell_end_process(0);
    }
  }
}

// Carries out the pending request; a step may post another, which the
// later steps then see.
void carry_out_request() {
  if (!pstate.pending_request) return;
  pstate.reset_glitch = 0;
  if (pstate.pending_request == REQ_RUN) {
    note_run_start();
    run_cart();
  }
  if (pstate.pending_request == REQ_SUSPEND) suspend_program();
  if (pstate.pending_request == REQ_REBOOT) reboot_machine();
  if (pstate.pending_request == REQ_SUSPEND_ERROR) {
    suspend_program();
    reset_interpreter();
    orrery_print("");
    orrery_print(orrery_runner().error_text);
  }
  if (pstate.pending_request == REQ_RESET_INTERPRETER) reset_interpreter();
  pstate.pending_request = REQ_NONE;
}

// Adds the time since the last update to the accumulator; true when a
// logical frame is due.
bool frame_due() {
  orrery_state_t &c = orrery_state;
  const uint32_t now = vell_get_time();
  const int64_t fps = paused_menu_open() ? 30 : pstate.target_fps;
  if (orrery_fast_active()) {
    // The virtual clock decides alone; the accumulator holds just the frame
    // that is due, which the frame then takes away.
    const bool due = orrery_fast_frame_due(static_cast<int32_t>(fps)) != 0;
    c.last_t = vell_get_time();
    c.frame_acc = due ? k_frame_one : 0;
    return due;
  }
  // A clock that steps back gives a negative time; the sum is formed in 64
  // bits so that a long stall cannot wrap it round to a negative count.
  const int64_t elapsed = static_cast<int32_t>(now - c.last_t);
  int64_t acc = c.frame_acc + elapsed * 65536 / 1000 * fps;
  c.last_t = now;
  if (c.glitch_test) {
    c.frame_acc = k_frame_one;
    return true;
  }
  if (acc < 0) {
    c.frame_acc = 0;
    return false;
  }
  if (acc > k_frame_backlog) acc = k_frame_backlog;
  c.frame_acc = static_cast<int32_t>(acc);
  return acc >= k_frame_one;
}

// One step of a download that a running cartridge waits for.
void download_step() {
  orrery_state_t &c = orrery_state;
  const int32_t state = c.download_state;
  const int64_t now = vell_get_time();
  if (state == DOWNLOAD_RUNNING && now > int64_t(c.download_start) + int64_t(vell_config().timeout) * 1000) {
    orrery_shell_hook().cancel_download();
    run_chain_cancel_pending();
    return;
  }
  if (vell_get_key_state(SC_ESCAPE) || buttons_down(BTN_PAUSE, 0)) {
    orrery_shell_hook().cancel_download();
    run_chain_cancel_pending();
    buttons_consume(BTN_PAUSE, 0);
    return;
  }
  if (state == DOWNLOAD_FINISHED) {
    c.download_state = DOWNLOAD_IDLE;
    orrery_shell_hook().finish_running_download();
  } else if (state == DOWNLOAD_FAILED) {
    c.download_state = DOWNLOAD_IDLE;
    run_chain_cancel_pending();
    show_message("download failed", 1900);
  }
}

void record_frame() { orrery_shell_hook().record_video_frame(orrery_state.video_frame); }

// A logical frame of the key configuration screen. The console's key
// dispatch hands it the typed keys first (the console itself takes no typed
// commands), so that Escape cancels before the screen could take it as a
// key; keys after the one that closed it stay buffered.
void keyconfig_frame() {
  while (pstate.sub_screen == SUB_KEYCONFIG && vell_keypressed()) keyconfig_keypress(vell_readkey());
  if (pstate.sub_screen == SUB_KEYCONFIG) keyconfig_update();
}

// A logical frame while the pause menu is open: only the menu moves, or
// the key configuration screen opened from it.
void paused_frame() {
  update_and_read_buttons();
  if (keyconfig_over_game()) {
    keyconfig_frame();
  } else {
    process_running_keypresses();
    process_paused_keypresses();
  }
  orrery_state.frame_acc -= k_frame_one;
  record_frame();
  orrery_count_exec_frame();
  vell_release_input_latches();
}

void running_frame_body() {
  // The key configuration screen the game opened: the game stands still.
  if (keyconfig_over_game()) {
    update_and_read_buttons();
    keyconfig_frame();
    return;
  }
  if (orrery_state.download_state != DOWNLOAD_IDLE) {
    update_and_read_buttons();
    download_step();
    if (pstate.busy_countdown > k_busy_download_floor) pstate.busy_countdown--;
    return;
  }
  if (pstate.busy_countdown > 0) {
    pstate.busy_countdown--;
    return;
  }
  process_running_keypresses();
  if (pstate.mainloop_kind != 2) update_and_read_buttons();
  if (pstate.reset_glitch <= 2) {
    run_slice();
    if (cpu_budget().hold_frame) note_held_frame();
  }
}

void logical_frame() {
  orrery_state_t &c = orrery_state;
  if (pstate.mode == MODE_RUNNING) {
    running_frame_body();
  } else {
    update_and_read_buttons();
    if (pstate.sub_screen == SUB_KEYCONFIG) keyconfig_frame();
    else if (pstate.sub_screen == SUB_BROWSER) orrery_shell_hook().browser_update();
    else if (pstate.mode == MODE_CONSOLE) console_screen_update();
    pstate.busy_countdown = 0;
    if (pstate.mode == MODE_BOOT) move_boot();
    else if (pstate.mode == MODE_SPLASH) move_splash();
  }
  update_reset_glitch();
  c.frame_acc -= k_frame_one;
  pstate.frame_counter++;
  pstate.spinner_counter++;
  c.frame_flipper ^= 1;
  // Recordings advance at 30 frames per second whatever the frame rate.
  if (paused_menu_open() || c.frame_flipper == 0 || pstate.target_fps == 30) record_frame();
  orrery_count_exec_frame();
  vell_release_input_latches();
}

// Copies the picture the running cartridge shows (without the pause menu
// or other overlays) into the working cartridge's label, which a saved
// picture cartridge shows.
void capture_label() {
  orrery_cart *cart = orrery_working_cart();
  const vell_bitmap *screen = orrery_state.presented;
  if (!cart || !screen) return;
  if (!cart->label) cart->label = vell_create_bitmap(k_screen_size, k_screen_size, 8);
  if (!cart->label) return;
  vell_blit(screen, cart->label, 0, 0, 0, 0, k_screen_size, k_screen_size);
  show_message("captured label image", 1000);
}

// Reports a GIF saved in the background once it has been written.
void report_gif_save() {
  const int state = orrery_shell_hook().poll_gif_save();
  if (state == 2) show_message("saved video to desktop", 1400);
  else if (state == 3) show_message("** failed to save video", 1900);
}

void capture_keys() {
  report_gif_save();
  const bool ctrl = ctrl_held();
  if (vell_get_key_state(k_key_any_alt) || (ctrl && pressed(SC_0))) return;
  if (pressed(SC_F1) || pressed(SC_F6) || (ctrl && pressed(SC_6))) {
    if (orrery_shell_hook().save_screenshot(orrery_state.video_frame) == 0)
      show_message("saved screenshot to desktop", 1400);
    else
      show_message("** failed to save screenshot", 1900);
  }
  if (pstate.mode == MODE_RUNNING && (pressed(SC_F7) || (ctrl && pressed(SC_7)))) capture_label();
  if (pressed(SC_F3) || pressed(SC_F8) || (ctrl && pressed(SC_8))) {
    orrery_shell_hook().reset_video();
    show_message("set video starting point", 1400);
  }
  // The outcome is shown when the worker has written the file.
  if (pressed(SC_F4) || pressed(SC_F9) || (ctrl && pressed(SC_9))) {
    if (orrery_shell_hook().start_gif_save() != 0) show_message("still saving the last video", 1400);
  }
}

void update_audio_pause() {
  bool pause = false;
  if (pstate.mode == MODE_RUNNING) {
    const int32_t v = orrery_peek(&pstate, pstate.cart, k_addr_audio_pause);
    pause = paused_menu_open() || keyconfig_over_game() ? v != 2 : v == 1;
  }
  const int32_t n = vell_audio_pause_count();
  vell_set_audio_pause_count(pause ? 1 : (n >= 1 && n <= k_audio_pause_tail) ? n + 1 : 0);
}

void every_update() {
  orrery_state_t &c = orrery_state;
  if (pstate.mode == MODE_CONSOLE)
    for (int i = 0; i < 2 && orrery_listing_lines() > 0; i++) orrery_list_files();
  // Over the key configuration screen Escape is that screen's own key.
  if (pstate.mode == MODE_RUNNING && !keyconfig_over_game() && pressed(SC_ESCAPE)) {
    if (paused_menu_open()) close_paused_menu();
    else open_paused_menu();
  }
  capture_keys();
  if (pstate.busy_countdown == 0 && c.download_state == DOWNLOAD_IDLE) pstate.spinner_counter = 0;
  update_audio_pause();
  if (ctrl_held() && pressed(SC_Q)) show_message("alt-f4 to fastquit", 1900);
}

void draw_spinner(vell_bitmap *page) {
  if (pstate.busy_countdown < 1 || pstate.mode != MODE_RUNNING || !pstate.program_started) return;
  const int32_t t = pstate.spinner_counter / 2;
  int frame;
  if (orrery_state.download_state == DOWNLOAD_IDLE && !message_bar_shows("download failed"))
    frame = k_res_spinner + t % 12;
  else
    frame = k_res_download + (t & 15);
  if (vell_bitmap *icon = orrery_resource_bitmap(frame)) vell_draw_sprite(icon, page, 0, 0, 3, 3, 12, 12);
}

}  // namespace

void orrery_reset_frame_clock() {
  orrery_state.last_t = vell_get_time();
  orrery_state.frame_acc = 0;
}

void vell_main_update() {
  update_glitch_test();
  if (ctrl_held() && pressed(SC_M)) toggle_mute();
  orrery_watch_update();
  carry_out_request();
  if (pstate.mode != MODE_RUNNING) {
    if (paused_menu_open()) close_paused_menu();
    pstate.target_fps = 30;
  }
  if (frame_due()) {
    if (paused_menu_open()) paused_frame();
    else logical_frame();
  }
  every_update();
  console_screen_watch();
}

void vell_main_draw() {
  const uint32_t start = vell_get_time();
  if (pstate.pending_request) return;
  vell_bitmap *page = vell_back_page();
  if (!page) return;
  vell_rectfill(page, 0, 0, page->w - 1, page->h - 1, 0);
  if (pstate.mode == MODE_SPLASH && orrery_state.splash) {
    vell_bitmap *splash = orrery_state.splash;
    vell_resize_back_page(splash->w, splash->h);
    page = vell_back_page();
    vell_blit(splash, page, 0, 0, 0, 0, splash->w, splash->h);
    return;
  }
  vell_resize_back_page(k_screen_size, k_screen_size);
  page = vell_back_page();
  if (pstate.mode == MODE_CONSOLE) {
    if (pstate.sub_screen == SUB_KEYCONFIG) keyconfig_draw(pstate.screen);
    else if (pstate.sub_screen == SUB_BROWSER) orrery_shell_hook().browser_draw();
    else draw_command_string(1, 1);
  }
  if (pstate.busy_countdown == 0 && cpu_budget().hold_frame == 0) blit_orrery_back_page_to_orrery_screen();
  vell_blit(orrery_state.presented, page, 0, 0, 0, 0, k_screen_size, k_screen_size);
  if (keyconfig_over_game()) keyconfig_draw(page);
  else if (paused_menu_open()) draw_paused_menu(page);
  draw_spinner(page);
  vell_blit(page, orrery_state.video_frame, 0, 0, 0, 0, k_screen_size, k_screen_size);
  draw_message_bar(page);
  cpu_set_draw_ms(vell_get_time() - start);
}

void vell_main_iteration() {
  vell_state.skip_frame = 0;
  vell_main_update();
  vell_main_draw();
  vell_blit_to_video_plat(vell_back_page());
  vell_handle_system_messages();
  vell_store_mouse_position();
  orrery_update_music_fade();
}
