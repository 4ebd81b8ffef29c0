// The console's text screen as a player meets it outside exec mode: it
// takes no typed commands, so it says how to leave and leaves on a key.
// Any button, Escape or Enter goes to the cartridge browser; over a
// program's error only Escape, Enter (or the pause button) and Ctrl+R
// act, so that a button held when the error struck does not wipe it away.
#pragma once

#include <cstdint>

struct orrery_console_screen_t {
  int32_t shown = 0;  // 1 while the text screen is what the player faces (its hint lines printed)
  int32_t error = 0;  // 1 when it shows a program's syntax or runtime error
};

// The screen's state.
const orrery_console_screen_t &console_screen_state();

// Clears the screen and prints the console's greeting with the way back;
// the text screen then counts as shown.
void console_screen_show_greeting();
// Called after every update: notices that the player has arrived at the
// text screen (a program ended, stopped or failed) and prints the hint
// lines once; leaving it resets the state.
void console_screen_watch();
// Once per logical frame at the console without a sub-screen.
void console_screen_update();
