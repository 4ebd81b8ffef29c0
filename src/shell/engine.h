// Engine start-up and shutdown, and the program's outer loop.
#pragma once

#include "platform/engine_state.h"

// Engine start-up: configuration, log, platform, keys, fonts, video, mouse,
// controllers. Does nothing when already initialised. Returns 0.
int vell_init(int argc, const char *const *argv);
// Engine shutdown in its fixed order; writes config.txt. Does nothing unless
// initialised.
void vell_exit();
// Shuts down and starts the console again with the stored arguments.
void vell_restart();
// The whole program: console start-up, the loop until quit, shutdown.
int vell_main(int argc, const char *const *argv);

// Sets the title that vell_init copies into the engine state.
void vell_set_app_title(const char *title);