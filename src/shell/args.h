// The two command-line parsers: the engine's options and the console's.
#pragma once

#include <string>
#include <vector>

// Console settings that come only from the command line.
struct orrery_args_t {
  int exec_mode;             // -x / -exec: run the named cartridge headless
  int glitch_test;           // -glitch_test counter
  std::string auto_load_fn;  // the cartridge named on the command line
  std::string param_string;  // -p, at most 1024 characters
};

extern orrery_args_t orrery_args;

// Engine options (prefix match: -soundvol selects -sound_volume).
void vell_process_arguments(int argc, const char *const *argv);
// Console options (whole-name match); unknown options skip the next value.
void process_arguments(int argc, const char *const *argv);
