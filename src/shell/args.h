// The two command-line parsers: the engine's options and the console's.
#pragma once

#include "machine/app_config.h"

// Engine options (prefix match: -soundvol selects -sound_volume).
void vell_process_arguments(int argc, const char *const *argv);
// Console options (whole-name match); unknown options skip the next value.
void process_arguments(int argc, const char *const *argv);
