#include "shell/keyconfig.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "gfx/bitmap.h"
#include "gfx/text.h"
#include "machine/pstate.h"
#include "platform/input.h"
#include "platform/key_names.h"
#include "machine/app_config.h"
#include "machine/hooks.h"
#include "platform/config.h"
#include "platform/log.h"
#include "shell/buttons.h"
#include "shell/console_screen.h"
#include "shell/resources.h"

namespace {

orrery_keyconfig_t g;

constexpr int32_t k_sc_backspace = 42;  // Backspace and Delete give a slot back to its default keys
constexpr int32_t k_sc_delete = 76;
constexpr int32_t k_code_escape = 27;
constexpr int32_t k_warning_ms = 2500;   // how long a key bound twice is pointed out
constexpr int k_res_done = 168;          // picture once every slot is done
constexpr int k_res_first = 169;         // pictures of the six buttons, 169-174
constexpr int k_res_pause = 175;         // picture of the pause slot

// Indexed by slot.
constexpr const char *k_slot_labels[k_keyconfig_slots] = {
    "p1 left    ", "p1 right   ", "p1 up      ", "p1 down    ", "p1 button o", "p1 button x", "p2 left    ",
    "p2 right   ", "p2 up      ", "p2 down    ", "p2 button o", "p2 button x", "pause      ",
};
constexpr const char *k_default_names[k_keyconfig_slots] = {
    "left", "right", "up", "down", "z", "x", "s", "f", "e", "d", "tab", "q", "p",
};

bool done() { return g.slot >= k_keyconfig_slots; }

bool any_key_held() {
  for (int32_t sc = 0; sc < k_vell_key_slots; sc++)
    if (vell_get_key_state(sc)) return true;
  return false;
}

// A controller button newly pressed by any player; pause_only looks at the
// pause (Start) button alone.
bool controller_pressed(bool pause_only) {
  for (int32_t p = 0; p < k_players; p++)
    for (int32_t b = pause_only ? BTN_PAUSE : 0; b <= BTN_PAUSE; b++)
      if (buttons_pressed_on_pad(b, p)) return true;
  return false;
}

// Gives the screen back to what it was opened from. The keys held now
// (the one that closed it among them) act on nothing until released.
void close_screen() {
  for (int32_t sc = 0; sc < k_vell_key_slots; sc++)
    if (vell_get_key_state(sc)) vell_block_key(sc);
  vell_clear_key_buffer();
  buttons_block();
  pstate.sub_screen = g.return_to;
  vell_debugf("keyconfig: closed to sub-screen %d\n", static_cast<int>(pstate.sub_screen));
  // Back at the console's text screen, the screen says how to go on.
  if (pstate.mode == MODE_CONSOLE && pstate.sub_screen == SUB_NONE) console_screen_show_greeting();
}

void cancel() {
  for (int32_t slot = 0; slot < 16; slot++) orrery_config_set_button_key(slot, g.saved[slot]);
  close_screen();
}

// The platform's name of a stored scancode (clamped to 0-255), lower case.
std::string key_name(int32_t scancode) {
  std::string name = vell_get_key_name(scancode < 0 ? 0 : scancode > 255 ? 255 : scancode);
  for (char &c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return name;
}

// The slot's label without its padding.
std::string slot_label(int32_t slot) {
  std::string label = k_slot_labels[slot];
  while (!label.empty() && label.back() == ' ') label.pop_back();
  return label;
}

// A key that another button uses too (by its custom key or its default
// keys) is kept, but pointed out.
void warn_if_bound_twice(int32_t scancode, int32_t slot) {
  const int32_t other = buttons_key_slot_using(scancode, slot);
  if (other < 0) return;
  const std::string text = key_name(scancode) + " is also " + slot_label(other);
  show_message(text.c_str(), k_warning_ms);
}

// The keys are written at once, so that they outlast a crash or a kill.
void save_keys() {
  if (vell_config_save() == 0) vell_debug("keyconfig: saved config.txt\n");
  else vell_debug("keyconfig: could not save config.txt\n");
}

// Takes the held keys, lowest scancode first, into the slots from the
// current one on: keys held together fill consecutive slots.
void take_held_keys() {
  orrery_keyconfig_t &k = g;
  for (int32_t sc = 0; sc < k_vell_key_slots && !done(); sc++) {
    if (!vell_get_key_state(sc)) continue;
    const int32_t value = (sc == k_sc_backspace || sc == k_sc_delete) ? 0 : sc;
    orrery_config_set_button_key(k.slot, value);
    if (value) warn_if_bound_twice(value, k.slot);
    k.ready = 0;
    k.slot++;
    if (done()) {
      // The last key's own code must not count as the key that closes the screen.
      vell_clear_key_buffer();
      save_keys();
    }
  }
}

}  // namespace

const orrery_keyconfig_t &keyconfig_state() { return g; }

void keyconfig_init() {
  const int32_t return_to = g.return_to;
  g = orrery_keyconfig_t{};
  g.return_to = return_to;
  memcpy(g.saved, orrery_config().button_keys, sizeof g.saved);
}

void keyconfig_open() {
  keyconfig_init();
  // Opened again while open, it keeps where it leads back to.
  if (pstate.sub_screen != SUB_KEYCONFIG) g.return_to = pstate.sub_screen;
  pstate.sub_screen = SUB_KEYCONFIG;
  vell_clear_key_buffer();
  buttons_block();
  vell_debug("keyconfig: open\n");
}

bool keyconfig_over_game() { return pstate.sub_screen == SUB_KEYCONFIG && pstate.mode == MODE_RUNNING; }

void keyconfig_update() {
  orrery_keyconfig_t &k = g;
  if (done()) {
    // Any key or controller button closes the finished screen, once the key
    // that finished it has been let go.
    if (!k.armed) k.armed = !any_key_held();
    else if (any_key_held() || controller_pressed(false)) close_screen();
    return;
  }
  // A player with a controller alone can leave too: Start cancels.
  if (controller_pressed(true)) {
    cancel();
    return;
  }
  if (!k.ready) k.ready = !any_key_held();
  if (k.ready) take_held_keys();
}

void keyconfig_keypress(int32_t code) {
  if (pstate.sub_screen != SUB_KEYCONFIG) return;
  if (!done()) {
    if (code == k_code_escape) cancel();
    return;
  }
  if (g.armed) close_screen();
}

void keyconfig_draw(vell_bitmap *s) {
  if (!s) return;
  const orrery_keyconfig_t &k = g;
  const vell_font *font = pstate.font;
  auto text = [&](const char *t, int32_t x, int32_t y, uint32_t c) {
    if (font) vell_draw_text_ex(s, t, font, x, y, k_text_colour, c);
  };
  vell_rectfill(s, 0, 0, 127, 127, 1);
  vell_rectfill(s, 4, 41, 123, 124, 6);
  vell_rectfill(s, 0, 0, 127, 6, 7);
  text("player key config", 6, 1, 12);

  const int picture = done() ? k_res_done : k.slot == k_keyconfig_slots - 1 ? k_res_pause : k_res_first + k.slot % 6;
  if (vell_bitmap *pic = orrery_resource_bitmap(picture)) vell_draw_sprite(pic, s, 0, 0, 6, 8, pic->w, pic->h);

  if (done()) {
    text("saved config.", 60, 12, 11);
    text("any key to quit", 60, 22, 12);
  } else {
    text("press key for:", 60, 12, 6);
    text(k_slot_labels[k.slot], 60, 19, 7);
    text("del to reset", 60, 26, 13);
    text("esc to cancel", 60, 33, 13);
  }

  for (int32_t slot = 0; slot < k_keyconfig_slots; slot++) {
    const int32_t y = 44 + 6 * slot;
    const int32_t sc = orrery_config().button_keys[slot];
    char line[64];
    snprintf(line, sizeof line, "%s : %s", k_slot_labels[slot], sc ? key_name(sc).c_str() : k_default_names[slot]);
    const bool current = slot == k.slot;
    if (current) vell_rectfill(s, 7, y - 1, 120, y + 5, 14);
    text(line, 10, y, current ? 1 : 5);
  }
}
