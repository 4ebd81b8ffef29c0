// What the bundled cartridges cost: each runs in-process and headless for
// twenty emulated seconds of scripted button presses, on a clock that moves
// a sixtieth of a second per loop iteration, so nothing waits. Printed per
// cartridge: the share of the frame budget its frames used (mean and peak),
// the frames shown below the rate it asked for, the most script memory it
// held, and the host CPU time per emulated second (ms). The first cartridge runs
// once unmeasured before, so that every figure is of warm code (the web
// build's code is compiled in tiers as it runs). bench/web_vs_native.sh
// sets this program's figures beside those of its web build under node.
//
//   bench_bundled [--seconds N]
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "machine/pstate.h"
#include "platform/input.h"
#include "platform/system.h"
#include "platform/backends.h"
#include "script/cpu_budget.h"
#include "script/interp.h"
#include "shell/console.h"
#include "shell/main_loop.h"

#include "bench_support.h"

namespace {

const char *const k_carts[] = {
    "demos/shapes",  "demos/sprites", "demos/sounds", "demos/text",     "demos/palette",     "demos/sixty",
    "demos/saves",   "demos/menu",    "demos/coro",   "demos/mouse",    "demos/duel",        "demos/bounce",
    "games/orbithop", "games/bricklight", "games/cratekeep", "games/nightflight", "games/glowworm",
};

// Arrows, O and X of both players.
const int32_t k_keys[] = {80, 79, 82, 81, 29, 27, 22, 9, 8, 7, 225, 4};

uint32_t g_now = 1000;
uint8_t g_keys[512];
uint32_t bench_clock() { return g_now; }
const uint8_t *bench_keys(int *count) {
  *count = 512;
  return g_keys;
}

struct figures {
  double mean_load, peak_load;  // share of the frame budget at the wanted rate
  int slow_frames, frames;      // logical frames below the wanted rate, all logical frames
  int64_t peak_memory;          // bytes of script memory charged
  double seconds_per_second;    // host CPU seconds per emulated second
  bool stopped;                 // the program ended or failed
};

figures measure(const char *name, int emulated_seconds) {
  const std::string cart = std::string(ORRERY_SOURCE_DIR "/assets/carts/") + name + ".q7";
  {
    vell_input_devices input = vell_backends.input;
    input.keys = bench_keys;
    input.modifiers = nullptr;  // read from the keys
    vell_input_devices_use(&input);
  }
  const std::string home = bench_start_console(
      bench_clock, {"-foreground_sleep_ms", "0", "-background_sleep_ms", "0", "-x", cart.c_str()});

  figures f{};
  double load_sum = 0;
  uint32_t seed = 12345;
  int held = -1, hold_left = 0;
  const double start = process_cpu_seconds();
  for (int i = 0; i < emulated_seconds * 60 && !f.stopped; i++) {
    if (hold_left == 0) {
      if (held >= 0) g_keys[held] = 0;
      seed = seed * 1103515245u + 12345u;
      held = (seed >> 16) % 3 == 0 ? -1 : k_keys[(seed >> 8) % 12];
      if (held >= 0) g_keys[held] = 1;
      hold_left = 1 + (seed >> 20) % 12;
    }
    hold_left--;
    const int32_t before = pstate.frame_counter;
    g_now += i % 3 == 2 ? 16 : 17;
    vell_main_iteration();
    f.stopped = pstate.mode != MODE_RUNNING;
    if (lua_State *L = runner_lua_state()) f.peak_memory = std::max(f.peak_memory, orrery_lua_memory(L).charged);
    if (pstate.frame_counter == before) continue;
    const double load = cycles_2_frame_capacity(cpu_budget().mark_cycles[2]) / 65536.0;
    load_sum += load;
    f.peak_load = std::max(f.peak_load, load);
    f.frames++;
    if (current_fps() < cpu_budget().wanted_fps) f.slow_frames++;
  }
  f.seconds_per_second = (process_cpu_seconds() - start) / emulated_seconds;
  f.mean_load = f.frames ? load_sum / f.frames : 0;

  memset(g_keys, 0, sizeof g_keys);
  bench_stop_console(home);
  vell_input_devices_use(nullptr);
  return f;
}

}  // namespace

int main(int argc, char **argv) {
  int seconds = 20;
  for (int i = 1; i + 1 < argc; i++)
    if (strcmp(argv[i], "--seconds") == 0) seconds = atoi(argv[++i]);
  if (seconds < 1) seconds = 1;

  measure(k_carts[0], 2);
  printf("bundled cartridges, %d emulated seconds of scripted buttons each\n", seconds);
  printf("  %-18s %9s %9s %11s %10s %9s\n", "cartridge", "mean cpu", "peak cpu", "slow frames", "memory kb",
         "host ms/s");
  for (const char *name : k_carts) {
    const figures f = measure(name, seconds);
    printf("  %-18s %8.0f%% %8.0f%% %5d / %-5d %10lld %9.2f%s\n", name, f.mean_load * 100, f.peak_load * 100,
           f.slow_frames, f.frames, static_cast<long long>(f.peak_memory / 1024), f.seconds_per_second * 1000,
           f.stopped ? "  (stopped early)" : "");
  }
  return 0;
}
