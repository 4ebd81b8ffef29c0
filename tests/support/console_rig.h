// The whole console started in-process without a window: a temporary home,
// a clock the test moves and a keyboard the test presses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_home.h"

struct console_rig {
  temp_home home;
  uint32_t now = 1000;  // the clock the console reads, ms

  // Starts the console headless with the test's clock and keyboard, and
  // home/desktop/ as the desktop folder; extra arguments follow the rig's
  // own. program_folder is where data.pod is read.
  explicit console_rig(const std::vector<std::string> &extra = {},
                       const std::string &program_folder = ORRERY_BUILD_DIR);
  ~console_rig();

  // Moves the clock by ms, then runs one loop iteration.
  void iterate(uint32_t ms);
  // n iterations 34 ms apart: exactly n logical frames at 30 frames per second.
  void frame(int n = 1) { while (n-- > 0) iterate(34); }
  // Holds (down = true) or releases a key; the console sees it after the
  // next iteration's event handling.
  void key(int32_t scancode, bool down);
  // Holds the keys for one iteration (the key tables take them at its end)
  // and runs the next, whose update sees them pressed; then they are up.
  void press(const std::vector<int32_t> &scancodes);
  // Holds the keys over two logical frames and releases them over two more,
  // so that the buttons are sampled down once and up once.
  void tap(const std::vector<int32_t> &scancodes);
};

// True when rows y..y+5 of the screen hold exactly what the console font
// draws for text alone at (0, y) in colour c (wrapped at the screen edge).
bool screen_line_is(const char *text, int32_t y, uint32_t c = 6);

// The clock and key array a rig installs, for tests that drive the
// platform without a console.
extern uint32_t g_rig_now;
// Puts observer into the installed script hooks' cpu_charged slot, keeping
// the other slots; null stops watching.
void watch_cpu_charges(void (*observer)(int32_t cycles, int refund));
extern uint8_t g_rig_keys[512];
uint32_t rig_clock();
const uint8_t *rig_keys(int *count);

// Installs a clock reading now (sleeping stays real); null hands the clock
// back to the platform's start.
void use_test_clock(uint32_t (*now)());
// Installs SDL's input devices (events, mouse, controllers) with the key
// states from keys, modifiers read from them too; null hands the input back.
void use_test_keys(const uint8_t *(*keys)(int *count));
