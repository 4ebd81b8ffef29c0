// The console configuration: the record read from config.txt (and its
// lines there) and the settings that come only from the command line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

constexpr int k_button_key_slots = 13;

struct orrery_config_t {
  int32_t cart_loaded_at_start;  // 1 when the cartridge named on the command line was loaded at start
  int32_t run_after_boot;        // set by -run, -x, -exec
  int32_t cartfind_at_boot;      // set by -cartfind; cleared by reboot
  int32_t joystick_index;        // player that the first controller drives (0..7)
  // Custom keyboard scancodes, 0 = default keys: player 0 buttons 0-5,
  // player 1 buttons 0-5, player 0 button 6. Three spare words follow, so
  // that the key configuration screen can save and restore 16 words.
  int32_t button_keys[16];
  int32_t live_notes;              // kept for the sound editor; no effect
  int32_t screenshot_scale;        // pixel scale of screenshots
  int32_t gif_scale;               // pixel scale of GIF recordings
  int32_t cursor_snap;             // kept for the editors; no effect
  int32_t gif_len;                 // maximum GIF length in seconds
  int32_t gui_theme;               // kept for the editors; no effect
  int32_t gpio_base;               // accepted and stored; no further effect
  int32_t shift_glyphs;            // kept for the code editor; no effect
  char root_path[1024];            // folder of the user's cartridges, ends in a separator
  char cdata_path[1024];           // folder of cartridge data, ends in a separator
  int32_t show_backup_messages;    // read and written; no effect
  int32_t host_framerate_control;  // 1 lets the CPU budget lower a cartridge's frame rate
  // Address of the cartridge catalogue server ("http://host:port/folder");
  // empty: the console never reaches the network. -catalogue_url overrides
  // it for one run: catalogue_url_saved keeps the file's value, which is the
  // one written back.
  char catalogue_url[1024];
  char catalogue_url_saved[1024];
};

extern orrery_config_t orrery_config;

// Console settings that come only from the command line.
struct orrery_args_t {
  int exec_mode;             // -x / -exec: run the named cartridge headless
  int fast;                  // -fast: exec mode runs its frames back to back on a virtual clock
  int64_t frame_limit;       // -frames N: exec mode ends after N logical frames; 0 = no limit
  int glitch_test;           // -glitch_test counter
  std::string auto_load_fn;  // the cartridge named on the command line
  int start_cart_failed;     // 1 when that cartridge could not be loaded (the boot says so)
  std::string param_string;  // -p, at most 1024 characters
};

extern orrery_args_t orrery_args;

void set_default_app_config();
// The console's reader, given one config.txt line that no engine key matched.
void orrery_load_config(const char *line);
// The console's writer, given the open config.txt after the engine's part.
void orrery_save_config(FILE *file);
