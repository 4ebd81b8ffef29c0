// The console configuration: its settings from config.txt and the command
// line (live, and the snapshot of what config.txt held), the table of its
// keys, and the cartridge named on the command line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/config.h"

constexpr int k_button_key_slots = 13;  // custom key slots that config.txt holds
constexpr int k_param_string_max = 1024;       // characters of -p kept

// The console's settings; the initialisers are the defaults.
struct orrery_config_t {
  int32_t run_after_boot = 0;    // set by -run, -x, -exec, and by a cartridge loaded at start
  int32_t cartfind_at_boot = 0;  // set by -cartfind: the boot opens the cartridge browser
  int32_t joystick_index = 0;    // player that the first controller drives (0..7)
  // Custom keyboard scancodes, 0 = default keys: player 0 buttons 0-5,
  // player 1 buttons 0-5, player 0 button 6. Three spare words follow, so
  // that the key configuration screen can save and restore 16 words.
  int32_t button_keys[16] = {};
  int32_t live_notes = 0;              // kept for the sound editor; no effect
  int32_t screenshot_scale = 3;        // pixel scale of screenshots
  int32_t gif_scale = 2;               // pixel scale of GIF recordings
  int32_t cursor_snap = 0;             // kept for the editors; no effect
  int32_t gif_len = 8;                 // maximum GIF length in seconds
  int32_t gui_theme = 0;               // kept for the editors; no effect
  int32_t gpio_base = -1;              // accepted and stored; no further effect
  int32_t shift_glyphs = 1;            // kept for the code editor; no effect
  char root_path[k_config_path_max] = "";   // folder of the user's cartridges, ends in a separator
  char cdata_path[k_config_path_max] = "";  // folder of cartridge data, ends in a separator
  int32_t show_backup_messages = 1;    // read and written; no effect
  int32_t host_framerate_control = 1;  // 1 lets the CPU budget lower a cartridge's frame rate
  // Address of the cartridge catalogue server ("http://host:port/folder");
  // empty: the console never reaches the network. -catalogue_url overrides
  // it for one run.
  char catalogue_url[k_config_path_max] = "";
  int32_t exec_mode = 0;               // -x / -exec: run the named cartridge headless
  int32_t fast = 0;                    // -fast: exec mode runs its frames back to back on a virtual clock
  int64_t frame_limit = 0;             // -frames N: exec mode ends after N logical frames; 0 = no limit
  int32_t glitch_test = 0;             // -glitch_test counter
  int32_t watch = 0;                   // -watch: the named cartridge restarts whenever its file changes
  char param_string[k_param_string_max + 1] = "";  // -p
};

// The live console configuration.
const orrery_config_t &orrery_config();
// Changes one setting of the live configuration (not what config.txt
// holds for it, for a key whose file value is written back).
void orrery_config_set(int32_t orrery_config_t::*field, int32_t value);
void orrery_config_set_text(char (orrery_config_t::*field)[k_config_path_max], const char *text);
void orrery_config_set_button_key(int32_t slot, int32_t scancode);

// The cartridge named on the command line ("" when none).
const std::string &orrery_named_cart();
void orrery_set_named_cart(const char *name);

// Back to the defaults, live and as config.txt holds them; no cartridge named.
void set_default_app_config();
// The console's reader, given one config.txt line that no engine key matched.
void orrery_load_config(const char *line);
// The console's writer, given the open config.txt after the engine's part.
void orrery_save_config(FILE *file);

// The console's keys, in the order they are written.
const vell_config_key *orrery_config_keys(size_t *count);
// Sets a console option of the command line (value null for a flag).
void orrery_config_apply(const vell_config_key &key, const char *value);
