// Test helpers: temporary folders, whole-file reads, and running a program
// with an argument vector (never through a shell) while capturing its output.
#pragma once

#include <string>
#include <vector>

struct process_result {
  int exit_code;            // exit status, or 128 + signal number when killed
  std::string output;       // everything written to standard output
  long peak_kb = 0;         // largest resident set the program had, KiB
  long ms_after_term = -1;  // ms from SIGTERM to the program's end; -1 when it ended before
};

// Runs argv[0] with the arguments; optional extra environment entries
// ("NAME=value"). When kill_after_ms > 0 the program gets SIGTERM after that
// many milliseconds, and SIGKILL when it is still there give_up_ms later.
// Standard error is inherited.
process_result run_process(const std::vector<std::string> &argv, const std::vector<std::string> &env = {},
                           int kill_after_ms = 0, int give_up_ms = 20000);

// A fresh empty folder under the system's temporary folder, removed with
// its contents when the object goes away.
struct temp_folder {
  std::string path;  // without a trailing '/'
  temp_folder();
  ~temp_folder();
  std::string operator/(const std::string &name) const { return path + "/" + name; }
};

std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &text);
bool path_exists(const std::string &path);
