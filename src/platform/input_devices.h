// The input contract: keyboard, mouse, game controllers, text input and the
// window's messages, as events and states.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a key means, independent of the layout: its character for keys that
// type one (letters lower case), else the scancode of the standard key with
// that meaning or'ed with this bit (so the keypad's 4 without Num Lock means
// the left arrow's scancode, 80).
constexpr int32_t k_vell_sym_scancode = 1 << 30;

// Mouse button bits.
enum : uint32_t { k_vell_mouse_left = 1, k_vell_mouse_middle = 2, k_vell_mouse_right = 4 };

// Modifier bits of vell_input_devices::modifiers.
enum : uint32_t {
  k_vell_mod_lctrl = 1, k_vell_mod_rctrl = 2, k_vell_mod_lalt = 4, k_vell_mod_ralt = 8,
  k_vell_mod_lgui = 16, k_vell_mod_rgui = 32,
};

enum vell_input_event_type : int32_t {
  k_vell_event_quit = 1,          // the desktop asks the program to end
  k_vell_event_active = 2,        // the window gained focus or was shown (a = 1) or lost it (a = 0)
  k_vell_event_window_close = 3,  // a: the window's id
  k_vell_event_layout = 4,        // the drawable size or the display changed
  k_vell_event_mouse_down = 5,    // a: the button's bit
  k_vell_event_wheel = 6,         // a, b: x and y movement, already in the natural direction
  k_vell_event_text = 7,          // text: the typed text, UTF-8
  k_vell_event_key_down = 8,      // a: scancode, b: meaning (see k_vell_sym_scancode), repeat
  k_vell_event_pad_added = 9,     // a: the controller's slot
  k_vell_event_pad_removed = 10,  // a: the slot it had; later controllers have moved up one
};

struct vell_input_event {
  int32_t type = 0;    // a vell_input_event_type
  int32_t a = 0;       // by type, as above
  int32_t b = 0;
  int32_t repeat = 0;  // key down: 1 for the keyboard's auto-repeat
  char text[32] = {};  // NUL-terminated
};

struct vell_input_devices {
  void (*start)();  // brings the devices up; called once by vell_backends_start
  void (*stop)();
  // Key states by scancode (count entries, non-zero down).
  const uint8_t *(*keys)(int *count);
  // Held modifiers as k_vell_mod_ bits. Left empty, they are read from keys.
  uint32_t (*modifiers)();
  // The next queued event: 1 with *e filled, 0 when none is queued.
  int (*poll)(vell_input_event *e);
  // The mouse in window coordinates; returns the held buttons' bits.
  uint32_t (*mouse)(int32_t *wx, int32_t *wy);
  void (*warp_mouse)(int32_t wx, int32_t wy);  // moves the system pointer
  void (*hide_cursor)();
  const char *(*key_name)(int32_t scancode);  // the platform's name, "" when none
  // Game controllers. pads_open reads the mapping files (missing ones are
  // skipped) and opens the controllers; slots are numbered 0..count-1.
  void (*pads_open)(const std::vector<std::string> &mapping_files);
  void (*pads_close)();
  int32_t (*pad_count)();
  int32_t (*pad_buttons)(int32_t slot);  // number of buttons
  // The slot's first two axes (-32768..32767) and the held buttons 0..14
  // (bit b for button b): 0, or 1 when the controller is not attached.
  int (*pad_read)(int32_t slot, int32_t axes[2], uint32_t *buttons);
};

// Installs the input devices; empty slots get defaults (no keys held, no
// events, no mouse, no controllers). Null hands the choice back to
// vell_backends_start.
void vell_input_devices_use(const vell_input_devices *backend);
