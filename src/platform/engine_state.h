// The engine state record, and the two ways the process ends: normally and
// through a fatal error.
#pragma once

#include <csignal>
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

// Ends the process with code after flushing the standard streams.
[[noreturn]] void vell_end_process(int code);
// Runs the engine's exit sequence (the platform hook) and ends the process
// with code 0: the quit key and the window system's quit message.
[[noreturn]] void vell_quit_process();
// Writes the text of a fatal failure to standard output, standard error
// and the log.
void vell_report_fatal(const char *text);
// Reports "** FATAL ERROR" with the message (as vell_report_fatal does),
// runs the exit sequence and ends the process with code 1.
[[noreturn]] void vell_fatal_error(const char *message);
