// The console state record, console start-up and the console's part of shutdown.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

struct vell_bitmap;
struct orrery_cart;

constexpr int32_t k_command_size = 256;      // command line text, bytes with the terminator

// States of the download slot.
enum orrery_download_state : int32_t {
  DOWNLOAD_IDLE = 0,
  DOWNLOAD_RUNNING = 1,
  DOWNLOAD_FINISHED = 2,
  DOWNLOAD_FAILED = 3,
};

// A word the download worker writes while the main thread reads it: atomic,
// and copied by value when the record is reset.
struct orrery_atomic_word : std::atomic<int32_t> {
  orrery_atomic_word(int32_t v = 0) : std::atomic<int32_t>(v) {}
  orrery_atomic_word(const orrery_atomic_word &o) : std::atomic<int32_t>(o.load()) {}
  orrery_atomic_word &operator=(const orrery_atomic_word &o) {
    store(o.load());
    return *this;
  }
  using std::atomic<int32_t>::operator=;
};

struct orrery_state_t {
  vell_bitmap *presented = nullptr;    // 128x128 8-bit copy shown in the window
  vell_bitmap *spare = nullptr;        // a third 128x128 8-bit bitmap
  vell_bitmap *scratch1 = nullptr;     // 1x1 scratch bitmap
  vell_bitmap *scratch8 = nullptr;     // 8x8 scratch bitmap
  vell_bitmap *video_frame = nullptr;  // 128x128 8-bit copy of each presented picture, without the message bar
  vell_bitmap *splash = nullptr;       // "splash.png" converted to the palette; null when there is none

  // Loop timing.
  uint32_t last_t = 0;          // time in ms of the previous update call
  int32_t frame_acc = 0;        // 16.16 count of logical frames due, 0..4.0
  int32_t frame_flipper = 0;    // 0/1, toggled every logical frame

  // The reset-glitch test (-glitch_test): frames counted towards the next
  // glitch (0 = test off) and glitches started so far.
  int32_t glitch_test = 0;
  int32_t glitch_test_rounds = 0;

  // The download slot.
  orrery_atomic_word download_state = DOWNLOAD_IDLE;  // orrery_download_state
  uint32_t download_start = 0;                        // ms when the download started
  int32_t download_error = 0;  // loader error of the finished file: 1 connect, 2 load, 3 future version

  // The head cartridge (booted from the resource file) may open the browser
  // although it is a cartridge program: the boot grants that to the run it
  // asks for, and no other run gets it.
  int32_t browser_grant_pending = 0;  // 1: the next run is the head cartridge's
  int32_t head_cart_running = 0;      // 1 while that run goes on

  orrery_cart *blank_cart = nullptr;  // empty cartridge the boot sequence marks; owned

  int32_t cart_loaded_at_start = 0;   // 1 when the cartridge named on the command line was loaded at start
  int32_t start_cart_failed = 0;      // 1 when it could not be loaded (the boot says so)

  char command[k_command_size] = "";  // command line text; stays empty (no typed commands)
  int32_t command_cursor = 0;         // cursor index in the command text
};

// Returns the console state to its start values (bitmaps and cartridges are
// not released), with what the console leaves in the modules it drives: the
// draw time, the audio pause, the runner's error and pasted texts, the
// current folder.
void orrery_clear_console_state();

extern orrery_state_t orrery_state;

// The console's start-up: engine start-up, command line, folders, resource
// file, window, bitmaps, boot, sound. The hook tables are installed before
// it (orrery_install_hooks). Ends the process when the resource file cannot
// be loaded or exec mode cannot load its cartridge (code 1).
void vell_main_init(int argc, const char *const *argv);
// The console's part of shutdown: the browser's downloads, cartridge data,
// listings, the console's bitmaps and cartridges.
void vell_main_exit();

// The eight folders created under the home folder at every start.
extern const char *const k_home_folders[8];
