// Game controllers: starting them through the input devices in use, and
// validated reading.
#pragma once

#include <cstdint>

// Most controllers opened at once.
constexpr int32_t k_vell_max_joysticks = 8;
// Buttons 0..14 are read.
constexpr int32_t k_vell_joystick_buttons = 15;

// Opens up to eight controllers with the mappings of "sdl_controllers.txt"
// from the program folder and the home folder (creating the home folder's
// file when missing).
void vell_joystick_init();
void vell_joystick_exit();

// Reads one controller: its first two axes (-32768..32767) and the mask of
// buttons 0..14. A button reads as up until it has once been seen released,
// an axis reads 0 until it has once been seen near its centre. Returns 0, or
// 1 (zero readings) when no controller has that index.
int vell_get_joystick(int32_t index, int32_t *x, int32_t *y, uint32_t *buttons);
// Number of opened controllers.
int32_t vell_count_joysticks();
// Number of buttons of one controller (0 when there is none).
int32_t vell_count_joystick_buttons(int32_t index);

// Input events: a controller was plugged in and took that slot, or the one
// in that slot was removed and later ones moved up. Called from event handling.
void vell_joystick_slot_added(int32_t slot);
void vell_joystick_slot_removed(int32_t slot);
