// Keyboard, text input and mouse: the key tables, the key buffer and event handling.
#pragma once

#include <cstdint>

// Size of the key tables, indexed by scancode. Scancodes 500 and 501 stand
// for the left and right GUI keys, 502 and 503 are spare slots.
constexpr int32_t k_vell_key_slots = 512;
// Entries the key buffer holds; further keys are dropped.
constexpr int32_t k_vell_key_buffer_size = 32;

// Key states in the tables.
enum { k_key_up = 0, k_key_held = 1, k_key_pressed = 3 };

// Pseudo-keys accepted by vell_get_key_state.
enum {
  k_key_any_spare = -2,  // slots 502, 503
  k_key_any_gui = -3,    // 500, 501
  k_key_any_alt = -4,    // 226, 230
  k_key_any_ctrl = -5,   // 224, 228 and the GUI keys
  k_key_any_shift = -6,  // 225, 229
};

void vell_keys_init();
void vell_keys_exit();
void vell_mouse_init();

// Sleeps for the configured time, updates the key tables and handles the
// queued platform events. Called once per loop iteration.
void vell_handle_system_messages();

// 0 up or blocked, 3 pressed this poll or repeated, 1 held. Negative
// pseudo-keys stand for groups of keys; the first held key of the group decides.
int vell_get_key_state(int32_t key);
// Marks a key as blocked: it reads as up until it has been released.
void vell_block_key(int32_t scancode);
// The lowest held scancode other than Caps Lock, else 0.
int32_t vell_get_any_key_down();
// 1 when the key buffer holds an entry.
int vell_keypressed();
// Removes and returns the oldest key code. With an empty buffer it handles
// events until a key arrives; it returns 0 when none can arrive (no window,
// or the program is quitting).
int32_t vell_readkey();
// 1 when Ctrl was held as the key that vell_readkey returned last went down.
int vell_last_key_with_ctrl();
void vell_clear_key_buffer();

// Mouse position in back-page pixels and buttons (1 left, 2 right, 4
// middle); all 0 when there is no back page.
void vell_get_mouse(int32_t *x, int32_t *y, int32_t *buttons);
// Requests a position: vell_get_mouse reports it until the real mouse has
// moved on both axes.
void vell_set_mouse(int32_t x, int32_t y);
// Stores the current position; called by the loop once per iteration.
void vell_store_mouse_position();
// Position change since the stored position, in back-page pixels.
void vell_get_mouse_deltas(int32_t *dx, int32_t *dy);
// A key or mouse button that goes down and up again between two logical
// frames still counts as held in the next one: its press is latched until
// the console calls this at the end of each logical frame.
void vell_release_input_latches();
// Wheel movement accumulated since the last call; the accumulators reset.
void vell_take_mouse_wheel(int32_t *x, int32_t *y);
// Moves the system pointer to a window position (window coordinates).
void vell_warp_system_mouse(int32_t wx, int32_t wy);
