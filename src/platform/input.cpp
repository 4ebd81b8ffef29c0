#include "platform/input.h"

#include <cstring>

#include "platform/backends.h"
#include "platform/config.h"
#include "platform/engine_state.h"
#include "platform/joystick.h"
#include "platform/log.h"
#include "platform/system.h"
#include "platform/video.h"

namespace {

// Scancodes of the keys the tables treat specially.
enum : int32_t {
  sc_return = 40, sc_escape = 41, sc_backspace = 42, sc_tab = 43, sc_1 = 30, sc_caps_lock = 57,
  sc_f4 = 61, sc_f11 = 68, sc_right = 79, sc_left = 80, sc_down = 81, sc_up = 82, sc_kp_enter = 88,
  sc_lctrl = 224, sc_lshift = 225, sc_lalt = 226, sc_lgui = 227, sc_rctrl = 228, sc_rshift = 229,
  sc_ralt = 230, sc_rgui = 231, sc_gui_left_slot = 500, sc_gui_right_slot = 501,
  sc_spare_a = 502, sc_spare_b = 503,
};

// First key repeat after a press, then the interval between repeats (ms).
constexpr uint32_t k_repeat_delay_ms = 500;
constexpr uint32_t k_repeat_interval_ms = 80;
// Longest sleep per iteration (ms).
constexpr int32_t k_max_sleep_ms = 200;
// A Tab this soon after the window became active belongs to the Alt+Tab
// that activated it.
constexpr uint32_t k_tab_after_activation_ms = 10;

struct input_state {
  uint8_t key[k_vell_key_slots] = {};    // current state: 0 up, 1 held, 3 pressed or repeated
  uint8_t prev[k_vell_key_slots] = {};   // state at the previous poll
  uint8_t block[k_vell_key_slots] = {};  // 1: reads as up until released
  uint8_t latch[k_vell_key_slots] = {};  // 1: went down since the last logical frame; held until then
  uint32_t repeat_deadline = 0;          // time of the next auto-repeat, ms
  int32_t buffer[k_vell_key_buffer_size] = {};  // key codes, oldest first
  int32_t buffered = 0;                         // entries in buffer
  // Per entry: 1 when Ctrl was held as the key went down. A quick Ctrl+R
  // can be over (and its latches released) before the code is read.
  uint8_t buffer_ctrl[k_vell_key_buffer_size] = {};
  uint8_t last_ctrl = 0;  // buffer_ctrl of the entry vell_readkey returned last
  int32_t wheel_x = 0, wheel_y = 0;      // wheel movement since the last take
  int warp_active = 0;                   // 1 while a requested position is reported
  int32_t warp_x = 0, warp_y = 0;        // the requested position, page pixels
  int32_t warp_real_x = 0, warp_real_y = 0;  // real window position at the request
  int32_t stored_x = 0, stored_y = 0;    // position stored by the loop, page pixels
  uint32_t mouse_latch = 0;              // k_vell_mouse_ bits of buttons pressed since the last logical frame
};

input_state g_in;

bool held(int32_t sc) { return g_in.key[sc] != 0; }
bool alt_held() { return held(sc_lalt) || held(sc_ralt); }
bool shift_held() { return held(sc_lshift) || held(sc_rshift); }
bool ctrl_held() { return held(sc_lctrl) || held(sc_rctrl); }

void push_key(int32_t code) {
  if (g_in.buffered >= k_vell_key_buffer_size) return;
  g_in.buffer_ctrl[g_in.buffered] = ctrl_held() ? 1 : 0;
  g_in.buffer[g_in.buffered++] = code;
}

// Steps 2 to 5 of a poll: previous states, platform states, modifiers,
// auto-repeat and block marks.
void poll_key_tables(uint32_t now) {
  int count = 0;
  const uint8_t *keys = vell_backends.input.keys(&count);
  const int32_t n = count < k_vell_key_slots ? count : k_vell_key_slots;
  for (int32_t sc = 0; sc < n; sc++) {
    // A key first seen down at the last poll starts the repeat delay. (State
    // 3 counts too: a key can be turned to 3 by a stale deadline in the very
    // poll that saw it go down.)
    if (g_in.key[sc] != 0 && g_in.prev[sc] == 0) g_in.repeat_deadline = now + k_repeat_delay_ms;
    g_in.prev[sc] = g_in.key[sc];
    // A latched press stays held until a logical frame has seen it.
    g_in.key[sc] = keys[sc] || g_in.latch[sc] ? k_key_held : k_key_up;
  }
  const uint32_t mods = vell_backends.input.modifiers();
  // A modifier tapped with its key (a quick Ctrl+R) is latched with it.
  g_in.key[sc_lctrl] = (mods & k_vell_mod_lctrl) || g_in.latch[sc_lctrl];
  g_in.key[sc_rctrl] = (mods & k_vell_mod_rctrl) || g_in.latch[sc_rctrl];
  g_in.key[sc_lalt] = (mods & k_vell_mod_lalt) || g_in.latch[sc_lalt];
  g_in.key[sc_ralt] = (mods & k_vell_mod_ralt) || g_in.latch[sc_ralt];
  g_in.key[sc_gui_left_slot] = (mods & k_vell_mod_lgui) || g_in.latch[sc_lgui];
  g_in.key[sc_gui_right_slot] = (mods & k_vell_mod_rgui) || g_in.latch[sc_rgui];

  if (static_cast<int32_t>(now - g_in.repeat_deadline) >= 0) {
    for (int32_t sc = 0; sc < k_vell_key_slots; sc++)
      if (g_in.key[sc] == k_key_held) g_in.key[sc] = k_key_pressed;
    g_in.repeat_deadline = now + k_repeat_interval_ms;
  }
  for (int32_t sc = 0; sc < k_vell_key_slots; sc++)
    if (!g_in.key[sc]) g_in.block[sc] = 0;
}

void mark_held(int32_t sc) {
  if (sc >= 0 && sc < k_vell_key_slots && g_in.key[sc] == k_key_up) g_in.key[sc] = k_key_held;
}

// A key-down event: its code, the engine's own shortcuts, the key buffer.
// Returns 1 when a code went into the buffer.
int handle_key_down(const vell_input_event &e) {
  const int32_t sc = e.a;
  const int32_t sym = e.b;
  mark_held(sc);
  if (sc >= 0 && sc < k_vell_key_slots && !e.repeat) g_in.latch[sc] = 1;

  int32_t code = 0;
  if (sc == sc_return || sc == sc_kp_enter) code = 13;
  else if (sc == sc_backspace) code = 8;
  else if (sc == sc_escape) code = 27;
  else if (sc == sc_tab) {
    if (!alt_held() && vell_get_time() - vell_app_activation_time() >= k_tab_after_activation_ms) code = 9;
  }
  // Arrow keys from any source (the keypad without Num Lock, too) count as
  // the standard arrow keys.
  if (sym == (k_vell_sym_scancode | sc_left)) mark_held(sc_left);
  if (sym == (k_vell_sym_scancode | sc_right)) mark_held(sc_right);
  if (sym == (k_vell_sym_scancode | sc_up)) mark_held(sc_up);
  if (sym == (k_vell_sym_scancode | sc_down)) mark_held(sc_down);
  if (ctrl_held() && !alt_held() && !shift_held()) {
    if ((sym >= 'a' && sym <= 'z') || (sym >= '0' && sym <= '9')) code = sym;
  }
  // AltGr arrives as Right Alt with Left Ctrl; it is not a Ctrl combination.
  if (held(sc_ralt)) {
    g_in.key[sc_lctrl] = 0;
    g_in.key[sc_rctrl] = 0;
  }

  if (sc == sc_f11 && !e.repeat) {
    vell_toggle_fullscreen();
    vell_block_key(sc_f11);
  } else if (sc == sc_return && alt_held() && !e.repeat) {
    vell_toggle_fullscreen();
    vell_block_key(sc_return);
  } else if (sc == sc_1 && ctrl_held() && !e.repeat) {
    vell_config_set(&vell_config_t::show_fps, !vell_config().show_fps);
  } else if (sc == sc_f4 && alt_held()) {
    vell_quit_process();
  } else if (code != 0) {
    push_key(code);
    return 1;
  }
  return 0;
}

}  // namespace

void vell_keys_init() { g_in = input_state{}; }

void vell_keys_exit() { vell_keys_init(); }

void vell_mouse_init() {
  g_in.wheel_x = g_in.wheel_y = 0;
  g_in.warp_active = 0;
  g_in.stored_x = g_in.stored_y = 0;
}

void vell_handle_system_messages() {
  int32_t ms = vell_is_app_active() ? vell_config().foreground_sleep_ms : vell_config().background_sleep_ms;
  if (ms > k_max_sleep_ms) ms = k_max_sleep_ms;
  if (ms > 0) vell_delay(static_cast<uint32_t>(ms));
  if (vell_has_window()) vell_backends.input.hide_cursor();

  poll_key_tables(vell_get_time());

  int keys_buffered = 0;
  vell_input_event e;
  while (vell_backends.input.poll(&e)) {
    switch (e.type) {
      case k_vell_event_quit:
        vell_quit_process();
        break;
      case k_vell_event_active:
        vell_set_app_active(e.a);
        break;
      case k_vell_event_window_close:
        vell_state.quit = 1;
        vell_debugf("window closed (%d)\n", static_cast<int>(e.a));
        break;
      case k_vell_event_layout:
        vell_update_layout();
        break;
      case k_vell_event_mouse_down:
        g_in.mouse_latch |= static_cast<uint32_t>(e.a);
        break;
      case k_vell_event_wheel:
        g_in.wheel_x += e.a;
        g_in.wheel_y += e.b;
        break;
      case k_vell_event_text:
        if (e.text[0] && !e.text[1]) {
          push_key(static_cast<uint8_t>(e.text[0]));
          keys_buffered = 1;
        }
        break;
      case k_vell_event_key_down:
        keys_buffered |= handle_key_down(e);
        break;
      case k_vell_event_pad_added:
        vell_joystick_slot_added(e.a);
        break;
      case k_vell_event_pad_removed:
        vell_joystick_slot_removed(e.a);
        break;
      default:
        break;
    }
  }

  if (!keys_buffered) {
    for (int32_t sc = 0; sc < k_vell_key_slots; sc++)
      if (g_in.key[sc] == k_key_pressed) {
        push_key(-1);
        break;
      }
  }
}

int vell_get_key_state(int32_t key) {
  if (key < 0) {
    static const int32_t shift[] = {sc_lshift, sc_rshift};
    static const int32_t alt[] = {sc_lalt, sc_ralt};
    static const int32_t ctrl[] = {sc_lctrl, sc_rctrl, sc_gui_left_slot, sc_gui_right_slot};
    static const int32_t gui[] = {sc_gui_left_slot, sc_gui_right_slot};
    static const int32_t spare[] = {sc_spare_a, sc_spare_b};
    const int32_t *group = nullptr;
    int n = 0;
    switch (key) {
      case k_key_any_shift: group = shift; n = 2; break;
      case k_key_any_alt: group = alt; n = 2; break;
      case k_key_any_ctrl: group = ctrl; n = 4; break;
      case k_key_any_gui: group = gui; n = 2; break;
      case k_key_any_spare: group = spare; n = 2; break;
      default: return 0;
    }
    for (int i = 0; i < n; i++)
      if (g_in.key[group[i]]) return vell_get_key_state(group[i]);
    return 0;
  }
  if (key >= k_vell_key_slots) return 0;
  if (!g_in.key[key] || g_in.block[key]) return 0;
  if (!g_in.prev[key] || g_in.key[key] == k_key_pressed) return k_key_pressed;
  return k_key_held;
}

void vell_block_key(int32_t scancode) {
  if (scancode >= 0 && scancode < k_vell_key_slots) g_in.block[scancode] = 1;
}

int32_t vell_get_any_key_down() {
  for (int32_t sc = 1; sc < k_vell_key_slots; sc++)
    if (sc != sc_caps_lock && g_in.key[sc]) return sc;
  return 0;
}

int vell_keypressed() { return g_in.buffered > 0 ? 1 : 0; }

int32_t vell_readkey() {
  while (g_in.buffered == 0) {
    if (!vell_has_window() || vell_state.quit) return 0;
    vell_handle_system_messages();
  }
  const int32_t code = g_in.buffer[0];
  g_in.last_ctrl = g_in.buffer_ctrl[0];
  g_in.buffered--;
  memmove(g_in.buffer, g_in.buffer + 1, sizeof(int32_t) * static_cast<size_t>(g_in.buffered));
  memmove(g_in.buffer_ctrl, g_in.buffer_ctrl + 1, static_cast<size_t>(g_in.buffered));
  return code;
}

int vell_last_key_with_ctrl() { return g_in.last_ctrl; }

void vell_clear_key_buffer() { g_in.buffered = 0; }

void vell_get_mouse(int32_t *x, int32_t *y, int32_t *buttons) {
  *x = *y = *buttons = 0;
  if (!vell_back_page()) return;
  int32_t wx = 0, wy = 0;
  uint32_t b = 0;
  if (vell_has_window()) {
    b = vell_backends.input.mouse(&wx, &wy) | g_in.mouse_latch;
    vell_window_point_to_page(wx, wy, x, y);
  }
  if (g_in.warp_active) {
    if (vell_has_window() && wx != g_in.warp_real_x && wy != g_in.warp_real_y) {
      g_in.warp_active = 0;
    } else {
      *x = g_in.warp_x;
      *y = g_in.warp_y;
    }
  }
  if (b & k_vell_mouse_left) {
    const int32_t rmb = vell_config().rmb_key;
    *buttons |= (rmb > 0 && rmb < k_vell_key_slots && g_in.key[rmb]) ? 2 : 1;
  }
  if (b & k_vell_mouse_right) *buttons |= 2;
  if (b & k_vell_mouse_middle) *buttons |= 4;
}

void vell_set_mouse(int32_t x, int32_t y) {
  int32_t wx = 0, wy = 0;
  if (vell_has_window()) vell_backends.input.mouse(&wx, &wy);
  g_in.warp_active = 1;
  g_in.warp_x = x;
  g_in.warp_y = y;
  g_in.warp_real_x = wx;
  g_in.warp_real_y = wy;
}

void vell_store_mouse_position() {
  int32_t b;
  vell_get_mouse(&g_in.stored_x, &g_in.stored_y, &b);
}

void vell_get_mouse_deltas(int32_t *dx, int32_t *dy) {
  int32_t x, y, b;
  vell_get_mouse(&x, &y, &b);
  *dx = x - g_in.stored_x;
  *dy = y - g_in.stored_y;
}

void vell_release_input_latches() {
  memset(g_in.latch, 0, sizeof g_in.latch);
  g_in.mouse_latch = 0;
}

void vell_take_mouse_wheel(int32_t *x, int32_t *y) {
  *x = g_in.wheel_x;
  *y = g_in.wheel_y;
  g_in.wheel_x = g_in.wheel_y = 0;
}

void vell_warp_system_mouse(int32_t wx, int32_t wy) { vell_backends.input.warp_mouse(wx, wy); }
