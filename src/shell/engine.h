// The engine state record, engine start-up and shutdown, fatal errors and
// the program's outer loop.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

struct vell_state_t {
  char app_title[64];                // set to "orrery" by the console
  int initialised;                   // 1 between vell_init and vell_exit
  int console_program;               // 1 when running without any platform layer
  volatile std::sig_atomic_t quit;   // ends the outer loop; set by signals too
  int skip_frame;                    // per-iteration skip flag, cleared by the loop
  std::string program_path;          // the first argument
  std::vector<std::string> args;     // the arguments, kept for vell_restart
};

extern vell_state_t vell_state;

// Engine start-up: configuration, log, platform, keys, fonts, video, mouse,
// controllers. Does nothing when already initialised. Returns 0.
int vell_init(int argc, const char *const *argv);
// Engine shutdown in its fixed order; writes config.txt. Does nothing unless
// initialised.
void vell_exit();
// Shuts down and starts the console again with the stored arguments.
void vell_restart();
// Prints "** FATAL ERROR" with the message, runs the exit sequence and ends
// the process with code 0.
[[noreturn]] void vell_fatal_error(const char *message);
// The whole program: console start-up, the loop until quit, shutdown.
int vell_main(int argc, const char *const *argv);

// Sets the title that vell_init copies into the engine state.
void vell_set_app_title(const char *title);
// Ends the process with code after flushing the standard streams.
[[noreturn]] void vell_end_process(int code);
