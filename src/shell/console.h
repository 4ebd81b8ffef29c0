// The console state record, console start-up and the console's part of shutdown.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

struct vell_bitmap;

struct orrery_state_t {
  vell_bitmap *presented;    // 128x128 8-bit copy shown in the window
  vell_bitmap *spare;        // a third 128x128 8-bit bitmap
  vell_bitmap *scratch1;     // 1x1 scratch bitmap
  vell_bitmap *scratch8;     // 8x8 scratch bitmap
  // 0 audio runs; 1..5 audio paused. Written by the main loop, read by the
  // mixer on the audio thread without the lock, so it is one atomic word.
  std::atomic<int32_t> audio_pause_counter;
};

// Returns the console state to its start values (bitmaps are not released).
void orrery_clear_console_state();

extern orrery_state_t orrery_state;

// The console's start-up: engine start-up, command line, folders, resource
// file, window, bitmaps, boot, sound. Ends the process when the resource
// file cannot be loaded (code 0) or exec mode cannot load its cartridge (1).
void vell_main_init(int argc, const char *const *argv);
// The console's part of shutdown: cartridge data, listings, GPIO.
void vell_main_exit();

// The eight folders created under the home folder at every start.
extern const char *const k_home_folders[8];
