// The key configuration screen, a sub-screen of the console on which the
// user assigns keyboard keys to the 13 custom key slots one after another.
#pragma once

#include <cstdint>

constexpr int32_t k_keyconfig_slots = 13;  // custom key slots asked for, in order

struct orrery_keyconfig_t {
  int32_t slot;         // slot being asked for, 0-12; 13 once all are done
  int32_t ready;        // 1 once no key is held, so the key that opened the screen is not taken
  int32_t armed;        // 1 once no key is held after the last slot, so that key does not also close it
  int32_t saved[16];    // the slot area as it was when the screen opened (Escape restores it)
};

extern orrery_keyconfig_t orrery_keyconfig;

// Starts the screen at its first slot and saves the slot area.
void keyconfig_init();
// What the keyconfig command does: starts the screen, makes it the
// console's sub-screen and blocks the buttons until they are released.
void keyconfig_open();
// Once per logical frame while the screen is the sub-screen.
void keyconfig_update();
// Draws the screen into the console's screen memory.
void keyconfig_draw();
// A typed key code while the screen is the sub-screen: Escape (27) while
// slots remain puts the saved slots back and closes the screen; any key
// once all slots are done closes it.
void keyconfig_keypress(int32_t code);
