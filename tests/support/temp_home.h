// A temporary home folder for one test: engine defaults, home_path and the log inside it.
#pragma once

#include <string>

struct temp_home {
  std::string path;  // the folder, with a trailing '/'

  // Creates the folder, resets the engine configuration to its defaults with
  // home_path pointing at the folder, and opens log.txt there.
  temp_home();
  // Closes the log and removes the folder with its contents.
  ~temp_home();

  // The log so far.
  std::string log() const;
};

// The whole content of a file ("" when it cannot be read).
std::string read_file(const std::string &path);
// Writes text to a file; returns true on success.
bool write_file(const std::string &path, const std::string &text);
