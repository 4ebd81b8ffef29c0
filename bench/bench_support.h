// What the in-process benchmarks share: the console started headless in a
// temporary home folder on the benchmark's own clock, and process CPU time.
#pragma once

#include <stdlib.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/backends.h"
#include "platform/system.h"
#include "shell/console.h"
#include "shell/hooks.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>

// The web build has no process times: wall-clock seconds instead, which a
// program on one thread spends almost wholly on its own work.
inline double process_cpu_seconds() { return emscripten_get_now() / 1000; }
#else
// CPU seconds (user + system) the whole process has used.
inline double process_cpu_seconds() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}
#endif

// Starts the console in-process and headless in a new temporary home
// folder, on the clock now, with the extra arguments after "-home HOME
// -headless 1"; returns the home folder (ending in '/'). Exits when no
// folder can be made.
inline std::string bench_start_console(uint32_t (*now)(), std::initializer_list<const char *> extra) {
  char dir[] = "/tmp/orrery-bench-XXXXXX";
  if (!mkdtemp(dir)) {
    perror("mkdtemp");
    exit(1);
  }
  const std::string home = std::string(dir) + "/";
  const std::string binary = ORRERY_BINARY;
  {
    vell_clock_source clock = vell_backends.clock;  // keeps real sleeping
    clock.now_ms = now;
    vell_clock_source_use(&clock);
  }
  vell_set_program_folder(binary.substr(0, binary.find_last_of('/') + 1));
  std::vector<const char *> argv = {"orrery", "-home", home.c_str(), "-headless", "1"};
  argv.insert(argv.end(), extra);
  orrery_install_hooks();
  vell_main_init(static_cast<int>(argv.size()), argv.data());
  return home;
}

// Ends the console bench_start_console started and removes its home folder.
inline void bench_stop_console(const std::string &home) {
  vell_main_exit();
  vell_clock_source_use(nullptr);
  std::error_code error;
  std::filesystem::remove_all(home, error);
  if (error) fprintf(stderr, "could not remove %s\n", home.c_str());
}
