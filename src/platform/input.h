// Keyboard, text input and mouse: key tables, the key buffer and event handling.
#pragma once

#include <cstdint>

void vell_keys_init();
void vell_keys_exit();
void vell_mouse_init();

// Sleeps for the configured time, updates the key tables and handles the
// queued platform events. Called once per loop iteration.
void vell_handle_system_messages();

// 0 up or blocked, 3 pressed this poll or repeated, 1 held. Negative
// pseudo-keys stand for groups of keys (-6 Shift, -5 Ctrl or GUI, -4 Alt,
// -3 GUI, -2 spare slots).
int vell_get_key_state(int32_t key);
int32_t vell_get_any_key_down();
int vell_keypressed();
int32_t vell_readkey();
void vell_clear_key_buffer();
