// A temporary home folder for one test: engine defaults, home_path and the log inside it.
#pragma once

#include <string>

#include "support/process.h"

struct temp_home {
  temp_folder folder;  // removed with its contents at the end
  std::string path;    // the folder, with a trailing '/'

  // Resets the engine configuration to its defaults with home_path pointing
  // at a fresh folder, and opens log.txt there.
  temp_home();
  // Closes the log.
  ~temp_home();

  // The log so far.
  std::string log() const;
};
