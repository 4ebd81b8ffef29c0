// Test helpers for running cartridge programs: in-process on a console the
// test drives frame by frame, and as build/orrery -x in a child process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/console_rig.h"

// The console in-process (headless, the test's clock and keys) with a
// program of the test's.
struct runner_rig : console_rig {
  explicit runner_rig(const std::vector<std::string> &extra = {}) : console_rig(extra) {}

  // Makes code (tabs separated by "\n-->8\n") the working cartridge's code
  // and carries out a run request, as the shell does; no frame runs yet.
  void run(const std::string &code);
  // A global variable of the program as a number, 0 when not one.
  double num(const char *name) const;
};

// Runs code on the runner's helper thread (as a program's own code would
// run) and returns its results joined by commas: numbers and strings as
// Lua prints them, booleans and nil by name; "error: ..." when it fails.
std::string rig_eval(const char *code);

// A text cartridge file's contents holding code.
std::string cart_file(const std::string &code);

// Writes code as home/game.q7 and runs build/orrery -home home -x game.q7
// (extra arguments after -x's name); the lines it printed, each without
// its "** " prefix and newline.
struct exec_result {
  int exit_code;
  std::vector<std::string> lines;  // standard output split at newlines
};
exec_result exec_cart(const temp_folder &home, const std::string &code, const std::vector<std::string> &extra = {},
                      int kill_after_ms = 0);
