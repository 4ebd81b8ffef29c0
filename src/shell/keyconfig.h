// The key configuration screen, a sub-screen of the console on which the
// user assigns keyboard keys to the 13 custom key slots one after another.
// It comes back to the screen it was opened from: the console, the
// browser, or a running game (over which it shows like the pause menu,
// the game standing still meanwhile).
#pragma once

#include <cstdint>

struct vell_bitmap;

constexpr int32_t k_keyconfig_slots = 13;  // custom key slots asked for, in order

struct orrery_keyconfig_t {
  int32_t slot = 0;       // slot being asked for, 0-12; 13 once all are done
  int32_t ready = 0;      // 1 once no key is held, so the key that opened the screen is not taken
  int32_t armed = 0;      // 1 once no key is held after the last slot, so that key does not also close it
  int32_t saved[16] = {};  // the slot area as it was when the screen opened (Escape restores it)
  int32_t return_to = 0;  // the sub-screen it was opened from, given back when it closes
};

// The screen's state.
const orrery_keyconfig_t &keyconfig_state();

// Starts the screen at its first slot and saves the slot area.
void keyconfig_init();
// What the keyconfig command does: starts the screen, makes it the
// console's sub-screen and blocks the buttons until they are released.
// Opened while a game runs (by the game or from the pause menu), the game
// stands still until the screen closes.
void keyconfig_open();
// The screen is open over a running game.
bool keyconfig_over_game();
// Once per logical frame while the screen is the sub-screen.
void keyconfig_update();
// Draws the screen into target: the console's screen memory at the
// console, the window's page over a running game.
void keyconfig_draw(vell_bitmap *target);
// A typed key code while the screen is the sub-screen: Escape (27) while
// slots remain puts the saved slots back and closes the screen; any key
// once all slots are done closes it. The chosen keys are written to
// config.txt as soon as the last slot is done.
void keyconfig_keypress(int32_t code);
