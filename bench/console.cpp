// Figures for the console's per-iteration work, headless: one loop
// iteration at the console (update, draw with the prompt and message bar),
// presenting the screen memory through the palette and a draw mode, and
// printing console lines with scrolling.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "machine/pstate.h"
#include "platform/paths.h"
#include "platform/backends.h"
#include "platform/system.h"
#include "shell/console.h"
#include "shell/console_output.h"
#include "shell/engine.h"
#include "shell/hooks.h"
#include "shell/main_loop.h"
#include "shell/message_bar.h"
#include "shell/presentation.h"

namespace {

uint32_t g_now = 1000;
uint32_t bench_clock() { return g_now; }

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main() {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  const std::string home = std::filesystem::temp_directory_path() / "orrery-bench-console";
  std::filesystem::create_directories(home);
  {
    vell_clock_source clock = vell_backends.clock;  // keeps real sleeping
    clock.now_ms = bench_clock;
    vell_clock_source_use(&clock);
  }
  vell_set_program_folder(std::filesystem::path(ORRERY_BINARY).parent_path().string());
  const std::vector<std::string> args = {"orrery", "-home", home, "-headless", "1", "-foreground_sleep_ms", "0"};
  std::vector<const char *> argv;
  for (const std::string &a : args) argv.push_back(a.c_str());
  orrery_install_hooks();
  vell_main_init(static_cast<int>(argv.size()), argv.data());

  // Through the boot to the console.
  for (int i = 0; i < 120; i++) {
    g_now += 34;
    vell_main_iteration();
  }
  show_message("benchmarking", 100000);
  const int iterations = 20000;
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < iterations; i++) {
    g_now += 17;
    vell_main_iteration();
  }
  double s = seconds_since(t0);
  printf("loop iteration at the console %8.2f us  (%d iterations, 60 Hz clock)\n", s * 1e6 / iterations, iterations);

  pstate.mode = MODE_RUNNING;
  pstate.program_started = 1;
  pstate.draw_mode = 7;
  t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < iterations; i++) blit_orrery_back_page_to_orrery_screen();
  s = seconds_since(t0);
  printf("present screen memory, mode 7 %8.2f us  (%d frames)\n", s * 1e6 / iterations, iterations);

  pstate.mode = MODE_CONSOLE;
  const int lines = 100000;
  t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < lines; i++) orrery_print("the quick brown fox jumps over the lazy dog");
  s = seconds_since(t0);
  printf("console print, 2 lines + scroll %8.2f us  (%d prints)\n", s * 1e6 / lines, lines);

  vell_exit();
  vell_clock_source_use(nullptr);
  return 0;
}
