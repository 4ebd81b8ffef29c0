#include "shell/boot.h"


#include <cstdio>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "audio/channels.h"
#include "gfx/bitmap.h"
#include "gfx/ctext.h"
#include "machine/app_config.h"
#include "machine/cart.h"
#include "machine/cart_image.h"
#include "machine/cart_load.h"
#include "machine/hooks.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "platform/input.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/png_image.h"
#include "platform/rng.h"
#include "platform/system.h"
#include "script/cpu_budget.h"
#include "script/random.h"
#include "script/runner.h"
#include "shell/browser_entry.h"
#include "shell/buttons.h"
#include "shell/console.h"
#include "shell/console_output.h"
#include "shell/hooks.h"
#include "shell/resources.h"

const char *const k_boot_notice = "(c) the orrery makers, have fun";

namespace {

constexpr int32_t k_boot_start_frame = -15;
constexpr int32_t k_load_failure_ms = 3600;  // the message outlasts the boot and the head cartridge's start
constexpr int32_t k_head_cart_version = 12;

uint32_t rnd(uint32_t n) { return vell_random(n); }

void clear_bitmap(vell_bitmap *b) {
  if (b) memset(b->data, 0, static_cast<size_t>(b->w) * b->h * (b->depth / 8));
}

void draw_logo() {
  if (vell_bitmap *logo = orrery_resource_bitmap(k_res_logo)) vell_blit(logo, pstate.screen, 0, 0, 1, 1, 40, 10);
}

// Two diagonal strokes of colour 7 in sprite 0: the mark of a new cartridge.
void mark_blank_cart(orrery_cart *cart) {
  if (!cart || !cart->gfx) return;
  for (int32_t i = 2; i <= 5; i++) {
    vell_putpixel(cart->gfx, i, i, 7);
    vell_putpixel(cart->gfx, 7 - i, i, 7);
  }
}

// The boot noise: the steps of the boot table that draw into the screen.
void boot_picture_step(int32_t c) {
  vell_bitmap *s = pstate.screen;
  const int32_t n = k_screen_size;
  switch (c) {
    case 11:
      for (int32_t y = 0; y < n; y++)
        for (int32_t x = 2; x <= 122; x += 8) s->line[y][x] = static_cast<uint8_t>(rnd(4) + y / 32);
      break;
    case 14:
      for (int32_t y = 0; y < n; y += 2)
        for (int32_t x = 0; x <= 124; x += 4) s->line[y][x] = static_cast<uint8_t>((x + y) / 8 % 8 + 6);
      break;
    case 17:
      for (int32_t y = 0; y <= 126; y += 3)
        for (int32_t x = 2; x <= 126; x += 4) s->line[y][x] = static_cast<uint8_t>(rnd(4) + 10);
      break;
    case 19:
      for (int32_t y = 0; y < n; y++)
        for (int32_t x = 1; x <= 125; x += 2) s->line[y][x] = s->line[y][x + 1];
      break;
    case 22:
      for (int32_t y = 0; y < n; y++)
        if (y % 4) memset(s->line[y], 0, n);
      break;
    case 25:
      clear_bitmap(s);
      break;
    default:
      break;
  }
}

// The cartridge named on the command line could not be loaded: the console
// and the message bar name it (by its file name; the whole path went to
// standard error at start).
void report_start_cart_failure() {
  const std::string &named = orrery_named_cart();
  const size_t slash = named.find_last_of('/');
  const std::string text = "could not load " + (slash == std::string::npos ? named : named.substr(slash + 1));
  orrery_print(text.c_str());
  show_message(text.c_str(), k_load_failure_ms);
}

void create_console_carts() {
  orrery_state.blank_cart = vell_create_orrery_cart();
  orrery_replace_working_cart(vell_create_orrery_cart());
  runner_create_code_tabs(k_cart_code_max);
  if (!orrery_state.blank_cart || !orrery_working_cart()) vell_debug("could not create the console's cartridges\n");
}

void release_console_carts() {
  orrery_cart *working = orrery_working_cart();
  if (working != orrery_state.blank_cart) vell_destroy_orrery_cart(working);
  vell_destroy_orrery_cart(orrery_state.blank_cart);
  orrery_state.blank_cart = nullptr;
  orrery_set_working_cart(nullptr);
  runner_destroy_code_tabs();
}

// "splash.png" from the program's data folder in the console colours, or null.
vell_bitmap *load_splash() {
  const std::string path = vell_prefix_with_data_path("splash.png");
  vell_rgba_image image;
  if (vell_png_read_file(path.c_str(), &image) != VELL_PNG_OK) return nullptr;
  vell_debugf("splash: %s %dx%d\n", path.c_str(), image.width, image.height);
  return orrery_picture_to_console_colours(image.pixels.data(), image.width, image.height, vell_engine_palette());
}

}  // namespace

vell_bitmap *orrery_picture_to_console_colours(const uint8_t *rgba, int32_t w, int32_t h, const uint8_t *palette) {
  vell_bitmap *b = vell_create_bitmap(w, h, 8);
  if (!b) return nullptr;
  for (int32_t y = 0; y < h; y++)
    for (int32_t x = 0; x < w; x++) {
      const uint8_t *p = rgba + (static_cast<size_t>(y) * w + x) * 4;
      if (p[3] < 128 || !palette) continue;
      b->line[y][x] = vell_nearest_colour(palette, 16, p[0], p[1], p[2], 0);
    }
  return b;
}

void orrery_replace_working_cart(orrery_cart *cart) {
  orrery_cart *old = orrery_working_cart();
  orrery_set_working_cart(cart);
  if (old && old != cart && old != orrery_state.blank_cart) vell_destroy_orrery_cart(old);
}

void orrery_boot_start() {
  create_console_carts();
  orrery_state.splash = load_splash();
  if (orrery_state.splash) pstate.mode = MODE_SPLASH;
  else boot_init();
  clear_working_file_name();
  record_cart_hash(orrery_state.blank_cart);
}

void orrery_boot_exit() {
  release_console_carts();
  vell_destroy_bitmap(orrery_state.splash);
  orrery_state.splash = nullptr;
}

void boot_init() {
  orrery_state.browser_grant_pending = 0;
  orrery_state.head_cart_running = 0;
  reset_interpreter();
  reset_runtime_state();
  pstate.mode = MODE_BOOT;
  pstate.frame_counter = k_boot_start_frame;
  orrery_print("");
  pstate.pen = 7;
  clear_bitmap(pstate.screen);
  clear_bitmap(orrery_state.presented);
  mark_blank_cart(orrery_state.blank_cart);
  orrery_srand(static_cast<uint32_t>(vell_get_time() + vell_get_calendar_seconds()));
  vell_stop_all_sounds();
  vell_clear_key_buffer();
}

void move_boot() {
  const int32_t c = pstate.frame_counter;
  if (c <= 25) {
    boot_picture_step(c);
    return;
  }
  switch (c) {
    case 40:
      clear_bitmap(pstate.screen);
      orrery_play_boot_sound(orrery_resource_system_cart());
      orrery_print("");
      orrery_print("");
      draw_logo();
      pstate.pen = 6;
      break;
    case 45:
      orrery_print("orrery " ORRERY_VERSION_TEXT);
      draw_logo();
      break;
    case 50:
      orrery_print_col(k_boot_notice, 13);
      pstate.pen = 6;
      orrery_print("");
      orrery_print("booting cartridge..");
      orrery_print("");
      break;
    case 70:
      // (A cartridge loaded at start always runs, at frame 100.)
      if (orrery_state.start_cart_failed) report_start_cart_failure();
      break;
    case 80:
      if (orrery_config().cartfind_at_boot) {
        pstate.mode = MODE_CONSOLE;
        pstate.pen = 6;
        pstate.sub_screen = SUB_BROWSER;
        orrery_shell_hook().browser_enter();
      }
      break;
    case 90:
      // The cartridge loaded at start runs in the head cartridge's place,
      // so the head cartridge is only mounted.
      if (orrery_state.cart_loaded_at_start && orrery_config().run_after_boot) orrery_mount_resource_carts();
      else boot_embedded_cart();
      break;
    case 100:
      if (orrery_state.cart_loaded_at_start && orrery_config().run_after_boot) {
        pstate.mode = MODE_CONSOLE;
        pstate.pending_request = REQ_RUN;
      }
      break;
    default:
      break;
  }
}

void move_splash() {
  bool go = vell_get_any_key_down() != 0;
  for (int32_t b = 0; b <= BTN_PAUSE; b++) go = go || buttons_down(b, 0);
  if (go) boot_init();
}

bool orrery_mount_resource_carts() {
  clear_embedded_carts();
  const std::vector<orrery_embedded_image> images = orrery_resource_cart_images();
  for (const orrery_embedded_image &item : images) {
    orrery_cart *cart = vell_create_orrery_cart();
    if (!cart) break;
    if (load_orrery_cart_32k(cart, item.image) != CART_IMAGE_OK)
      vell_debugf("embedded cart %s: code could not be decoded\n", item.name.c_str());
    cart->version = k_head_cart_version;
    mount_embedded_cart(cart, item.name.c_str());
    vell_destroy_orrery_cart(cart);
  }
  return !images.empty();
}

void boot_embedded_cart() {
  if (!orrery_mount_resource_carts()) {
    printf("head cart not found\n");
    fflush(stdout);
    vell_debug("head cart not found\n");
    return;
  }
  const orrery_embedded_image item = orrery_resource_cart_images()[0];
  orrery_cart *head = vell_create_orrery_cart();
  if (!head) return;
  load_orrery_cart_32k(head, item.image);
  head->version = k_head_cart_version;
  vell_debugf("booting head cart %s\n", item.name.c_str());
  prepare_loaded_cart(head, nullptr);
  // The head cartridge has no file of its own: quick save refuses it and
  // quick load has nothing to read.
  clear_working_file_name();
  pstate.mode = MODE_CONSOLE;
  pstate.pending_request = REQ_RUN;
  grant_browser_to_next_run();
}

void reboot_machine() {
  // The cartridge named on the command line was released with the others:
  // the boot after a reboot ends with the head cartridge, as a plain start.
  orrery_state.cart_loaded_at_start = 0;
  release_console_carts();
  reset_cpu_budget();
  create_console_carts();
  if (orrery_new_live_cart() != 0) vell_debug("could not create the live cartridge\n");
  boot_init();
  clear_working_file_name();
  record_cart_hash(orrery_state.blank_cart);
}

void start_reset_glitch() { pstate.reset_glitch = 1; }

void update_reset_glitch() {
  if (pstate.reset_glitch == 0) return;
  pstate_t *m = &pstate;
  orrery_cart *cart = pstate.cart;
  const int32_t state = ++pstate.reset_glitch;
  if (state == 2) {
    const int32_t kept = orrery_peek(m, cart, k_addr_keep_palette);
    const bool test = orrery_state.glitch_test != 0;
    if (rnd(8) == 0) orrery_poke(m, cart, k_addr_draw_mode, static_cast<int32_t>(rnd(4)));
    if (rnd(8) == 0)
      for (int i = 0; i < 4; i++) orrery_poke(m, cart, k_addr_audio_masks, static_cast<int32_t>(rnd(256)));
    int32_t n = vell_rand() == 0 ? static_cast<int32_t>(rnd(30)) + 10 : static_cast<int32_t>(rnd(4)) + 2;
    if (test) n = 2 * orrery_state.glitch_test_rounds;
    int32_t pokes = 10 * n, copies = n / 2;
    if (!test && rnd(20) == 0) {
      pokes = 3000;
      copies = 150;
    }
    for (int32_t i = 0; i < pokes; i++) {
      const int32_t addr = static_cast<int32_t>(rnd(32768));
      orrery_poke(m, cart, addr, static_cast<int32_t>(rnd(256)));
    }
    for (int32_t i = 0; i < copies; i++) {
      const int32_t d = static_cast<int32_t>(rnd(30720)) + 1024;
      const int32_t len = static_cast<int32_t>(rnd(1024));
      const int32_t src = static_cast<int32_t>(rnd(2048)) + d - static_cast<int32_t>(rnd(2048));
      orrery_memcpy(m, cart, d, src, len);
      const int32_t len2 = static_cast<int32_t>(rnd(1024));
      const int32_t src2 = static_cast<int32_t>(rnd(31744));
      orrery_memcpy(m, cart, static_cast<int32_t>(rnd(31744)), src2, len2);
    }
    for (int32_t i = 0; i < copies; i++) {
      const int32_t len = static_cast<int32_t>(rnd(512));
      const int32_t at = static_cast<int32_t>(rnd(18432));
      orrery_memset(m, cart, at, static_cast<int32_t>(rnd(256)), len);
    }
    orrery_poke(m, cart, k_addr_keep_palette, kept);
  } else if (state > 4) {
    pstate.reset_glitch = 0;
    pstate.pending_request = REQ_RUN;
    keep_browser_grant_for_restart();
    restore_param_string();
  }
}
