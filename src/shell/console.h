// The console state record, console start-up and the console's part of shutdown.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

struct vell_bitmap;
struct orrery_cart;

constexpr int32_t k_message_size = 256;      // message bar text, bytes with the terminator
constexpr int32_t k_command_size = 256;      // command line text, bytes with the terminator

// States of the download slot.
enum orrery_download_state : int32_t {
  DOWNLOAD_IDLE = 0,
  DOWNLOAD_RUNNING = 1,
  DOWNLOAD_FINISHED = 2,
  DOWNLOAD_FAILED = 3,
};

struct orrery_state_t {
  vell_bitmap *presented;    // 128x128 8-bit copy shown in the window
  vell_bitmap *spare;        // a third 128x128 8-bit bitmap
  vell_bitmap *scratch1;     // 1x1 scratch bitmap
  vell_bitmap *scratch8;     // 8x8 scratch bitmap
  vell_bitmap *video_frame;  // 128x128 8-bit copy of each presented picture, without the message bar
  vell_bitmap *splash;       // "splash.png" converted to the palette; null when there is none

  // Loop timing.
  uint32_t last_t;           // time in ms of the previous update call
  int32_t frame_acc;         // 16.16 count of logical frames due, 0..4.0
  int32_t frame_flipper;     // 0/1, toggled every logical frame

  // Pause menu.
  int32_t pause_menu_open;       // 1 while the menu is shown; the program stands still
  int32_t pause_menu_selection;  // selected item

  // Message bar.
  char message[k_message_size];  // text shown
  uint32_t message_start;        // ms when shown; 0 draws the bar without sliding in
  uint32_t message_end;          // ms, exclusive: the bar shows while now < end
  int32_t message_colour;        // 15 or 7, alternating from one message to the next

  // The reset-glitch test (-glitch_test): frames counted towards the next
  // glitch (0 = test off) and glitches started so far.
  int32_t glitch_test;
  int32_t glitch_test_rounds;

  // The download slot. The worker thread writes the state word, so it is atomic.
  std::atomic<int32_t> download_state;  // orrery_download_state
  uint32_t download_start;              // ms when the download started
  int32_t download_error;               // loader error of the finished file: 1 connect, 2 load, 3 future version

  // The head cartridge (booted from the resource file) may open the browser
  // although it is a cartridge program: the boot grants that to the run it
  // asks for, and no other run gets it.
  int32_t browser_grant_pending;        // 1: the next run is the head cartridge's
  int32_t head_cart_running;            // 1 while that run goes on

  orrery_cart *blank_cart;              // empty cartridge the boot sequence marks; owned

  int32_t cart_loaded_at_start;         // 1 when the cartridge named on the command line was loaded at start
  int32_t start_cart_failed;            // 1 when it could not be loaded (the boot says so)

  char command[k_command_size];         // command line text; stays empty (no typed commands)
  int32_t command_cursor;               // cursor index in the command text
};

// Returns the console state to its start values (bitmaps, cartridges and
// code tabs are not released).
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
