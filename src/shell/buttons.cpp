#include "shell/buttons.h"

#include <cstring>

#include "machine/app_config.h"
#include "machine/pstate.h"
#include "platform/input.h"
#include "platform/joystick.h"
#include "platform/rng.h"
#include "script/cpu_budget.h"
#include "shell/console.h"
#include "shell/pause_menu.h"

namespace {

// Every player's buttons: sampled by buttons_read, advanced by
// buttons_update, read by btn and btnp and by the console's screens.
orrery_buttons_t g;

constexpr int32_t k_sc_m = 16;  // M: player 0's X only while no Ctrl key is held

// Default keys of players 0 and 1, indexed [player][button]; 0 ends a list.
constexpr int32_t k_default_keys[2][7][7] = {
    {
        {80, 92},                      // left: Left, Keypad 4
        {79, 94},                      // right: Right, Keypad 6
        {82, 96},                      // up: Up, Keypad 8
        {81, 93},                      // down: Down, Keypad 5
        {29, 6, 17, 86, 89, 73},       // O: Z, C, N, Keypad minus, Keypad 1, Insert
        {27, 25, k_sc_m, 37, 90, 76},  // X: X, V, M, 8, Keypad 2, Delete
        {19, 40},                      // pause: P, Return
    },
    {
        {22},           // left: S
        {9},            // right: F
        {8},            // up: E
        {7},            // down: D
        {225, 43, 26},  // O: Left Shift, Tab, W
        {4, 20},        // X: A, Q
        {},             // pause: none
    },
};

// Custom key slot (index into button_keys) of a button, or -1 when the
// button has none: player 0 buttons 0-5 are slots 0-5, player 1 buttons 0-5
// slots 6-11, player 0's pause button slot 12.
int32_t custom_slot(int32_t button, int32_t player) {
  if (button < 0 || button > 6 || player < 0 || player > 1) return -1;
  if (button == BTN_PAUSE) return player == 0 ? 12 : -1;
  return player * 6 + button;
}

bool valid(int32_t button, int32_t player) {
  return button >= 0 && button < k_player_buttons && player >= 0 && player < k_players;
}

// The repeat delay after a new press: 15 frames at 30 fps (16 with the
// frame the counter is set in), scaled to the target rate; the pause menu
// always runs at 30.
int32_t first_repeat() { return paused_menu_open() ? 16 : pstate.target_fps * 15 / 30 + 1; }
int32_t next_repeat() { return paused_menu_open() ? 4 : pstate.target_fps * 4 / 30; }

// The controller's reading for one player: axes and buttons; false when no
// controller drives that player.
bool read_controller(int32_t player, int32_t *x, int32_t *y, uint32_t *mask) {
  const int32_t index = player - orrery_config().joystick_index;
  if (index < 0 || index >= vell_count_joysticks() || index >= k_vell_max_joysticks) return false;
  return vell_get_joystick(index, x, y, mask) == 0;
}

// Clamps a direction value (an integer quotient) to 0..255.
int32_t direction_value(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

int32_t pack_player_bits(const int32_t (&state)[k_players][k_player_buttons]) {
  int32_t bits = 0;
  for (int32_t b = 0; b < k_player_buttons; b++) {
    if (state[0][b]) bits |= 1 << b;
    if (state[1][b]) bits |= 1 << (8 + b);
  }
  return bits;
}

int32_t script_read(const int32_t (&state)[k_players][k_player_buttons], int nargs, int32_t i, int32_t p) {
  pstate.buttons_read = 1;
  if (nargs < 1) return pack_player_bits(state);
  spend_cpu(4);
  i = i < 0 ? 0 : i > 7 ? 7 : i;
  if (nargs < 2) p = 0;
  // Taken as unsigned, so negative players are out of range too.
  if (static_cast<uint32_t>(p) > 7) return 0;
  return state[p][i] ? 1 : 0;
}

}  // namespace

const orrery_buttons_t &buttons_state() { return g; }

void buttons_reset() { g = orrery_buttons_t{}; }

int32_t buttons_key(int32_t button, int32_t player) {
  const int32_t slot = custom_slot(button, player);
  if (slot < 0) return 0;
  // A slot holding a scancode replaces every default key of its button; a
  // value that is no scancode (0, negative, too large) leaves the defaults.
  const int32_t custom = orrery_config().button_keys[slot];
  if (custom > 0 && custom < k_vell_key_slots) return vell_get_key_state(custom);
  for (int32_t key : k_default_keys[player][button]) {
    if (key == 0) break;
    if (key == k_sc_m && vell_get_key_state(k_key_any_ctrl)) continue;
    if (int state = vell_get_key_state(key)) return state;
  }
  return 0;
}

int32_t buttons_pad(int32_t button, int32_t player) {
  if (!valid(button, player)) return 0;
  int32_t x = 0, y = 0;
  uint32_t mask = 0;
  if (!read_controller(player, &x, &y, &mask)) return 0;
  if (button <= BTN_DOWN) {
    // Directions count only with the stick pushed beyond about half its range.
    const int64_t r = int64_t(x / 2) * x + int64_t(y / 2) * y;
    if (r <= (int64_t(1) << 27)) return 0;
    switch (button) {
      case BTN_LEFT: return direction_value(-x / 128);
      case BTN_RIGHT: return direction_value(x / 128);
      case BTN_UP: return direction_value(-y / 128);
      default: return direction_value(y / 128);
    }
  }
  // Controller buttons: 0 A, 1 B, 2 X, 3 Y, 6 Start.
  uint32_t bits = 0;
  if (button == BTN_O) bits = (1u << 0) | (1u << 3);
  else if (button == BTN_X) bits = (1u << 1) | (1u << 2);
  else if (button == BTN_PAUSE) bits = 1u << 6;
  return (mask & bits) ? 255 : 0;
}

int32_t buttons_key_bound(int32_t scancode) {
  if (scancode == 0) return 0;
  for (int32_t slot = 0; slot < 6; slot++)
    if (orrery_config().button_keys[slot] == scancode) return 1;
  return 0;
}

int32_t buttons_key_slot_using(int32_t scancode, int32_t except) {
  if (scancode <= 0) return -1;
  for (int32_t slot = 0; slot < 13; slot++) {
    if (slot == except) continue;
    const int32_t custom = orrery_config().button_keys[slot];
    if (custom > 0 && custom < k_vell_key_slots) {
      if (custom == scancode) return slot;
      continue;
    }
    const int32_t player = slot == 12 ? 0 : slot / 6;
    const int32_t button = slot == 12 ? static_cast<int32_t>(BTN_PAUSE) : slot % 6;
    for (int32_t key : k_default_keys[player][button]) {
      if (key == 0) break;
      if (key == scancode) return slot;
    }
  }
  return -1;
}

void buttons_read() {
  orrery_buttons_t &s = g;
  memset(s.down, 0, sizeof s.down);
  if (orrery_state.glitch_test) {
    for (int32_t p = 0; p < k_players; p++)
      for (int32_t b = 0; b <= BTN_X; b++) s.down[p][b] = static_cast<int32_t>(vell_random(2));
    return;
  }
  for (int32_t p = 0; p < k_players; p++)
    for (int32_t b = 0; b < k_player_buttons; b++) {
      const bool held = buttons_key(b, p) != 0 || buttons_pad(b, p) >= 129;
      if (!held) {
        s.blocked[p][b] = 0;
      } else if (!s.blocked[p][b]) {
        s.down[p][b] = 1;
        if (!s.previous[p][b]) s.repeat = first_repeat();
      }
    }
  vell_take_mouse_wheel(&pstate.wheel_x, &pstate.wheel_y);
}

void buttons_update() {
  orrery_buttons_t &s = g;
  const bool tick = s.repeat == 1;
  for (int32_t p = 0; p < k_players; p++)
    for (int32_t b = 0; b < k_player_buttons; b++) {
      s.pressed[p][b] = s.down[p][b] && (!s.previous[p][b] || tick) && !s.blocked[p][b];
      s.previous[p][b] = s.down[p][b];
    }
  if (s.repeat >= 1) {
    s.repeat--;
    if (tick) s.repeat = next_repeat();
  }
}

void buttons_set_repeat(int32_t frames) { g.repeat = frames; }

int32_t buttons_down(int32_t button, int32_t player) { return valid(button, player) ? g.down[player][button] : 0; }

int32_t buttons_pressed(int32_t button, int32_t player) {
  if (!valid(button, player)) return 0;
  if (g.previous[player][button] && g.repeat != 1) return 0;
  return g.down[player][button];
}

int32_t buttons_pressed_on_pad(int32_t button, int32_t player) {
  if (!buttons_pressed(button, player)) return 0;
  return buttons_pad(button, player) > 0 ? 1 : 0;
}

void buttons_block() {
  orrery_buttons_t &s = g;
  for (int32_t p = 0; p < k_players; p++)
    for (int32_t b = 0; b < k_player_buttons; b++) {
      s.blocked[p][b] = 1;
      s.down[p][b] = 0;
    }
  s.repeat = first_repeat();
}

void buttons_consume(int32_t button, int32_t player) {
  if (!valid(button, player)) return;
  g.down[player][button] = 0;
  g.blocked[player][button] = 1;
}

int32_t buttons_btn(int nargs, int32_t i, int32_t p) { return script_read(g.down, nargs, i, p); }
int32_t buttons_btnp(int nargs, int32_t i, int32_t p) { return script_read(g.pressed, nargs, i, p); }
