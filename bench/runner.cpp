// Host CPU time the console spends per emulated second on cartridges that
// use their whole CPU budget every frame: one that draws and one that
// computes. The console runs in-process and headless on a clock that moves
// one frame per loop iteration, so nothing waits; the figure is the process
// CPU time (user + system) divided by the emulated seconds.
//
//   bench_runner [--seconds N]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "machine/cart.h"
#include "machine/pstate.h"
#include "platform/system.h"
#include "script/cpu_budget.h"
#include "script/runner.h"
#include "shell/console.h"
#include "shell/engine.h"
#include "shell/main_loop.h"

#include "bench_support.h"

namespace {

// Each frame works until 95% of the frame's budget is used, then ends.
// Coordinates come from a generator of the cartridge's own.
const char *const k_drawing_cart =
    "x, y = 1, 2\n"
    "function _draw()\n"
    "  cls(1)\n"
    "  while stat(1) < 0.95 do\n"
    "    for i = 1, 8 do\n"
    "      x, y = (x * 13 + 7) % 128, (y * 29 + 3) % 128\n"
    "      circfill(x, y, 12, i) rectfill(x, y, x + 20, y + 9, i + 1)\n"
    "      line(0, y, 127, x, i + 2) spr(i, x, y, 2, 2) map(0, 0, x, y, 4, 4)\n"
    "      print('orrery', x, y, 7) sspr(0, 0, 16, 16, y, x, 32, 24)\n"
    "    end\n"
    "  end\n"
    "end\n";

const char *const k_script_cart =
    "items = {} total = 0\n"
    "function _update()\n"
    "  while stat(1) < 0.95 do\n"
    "    for i = 1, 40 do\n"
    "      local t = {x = i, y = i * 2, name = 'p' .. i}\n"
    "      total = (total + t.x * t.y / 3) % 1000\n"
    "      add(items, t)\n"
    "      if #items > 200 then del(items, items[1]) end\n"
    "    end\n"
    "    for p in all(items) do p.x += sub(p.name, 2) % 7 end\n"
    "  end\n"
    "end\n";

uint32_t g_now = 1000;
uint32_t bench_clock() { return g_now; }

struct figures {
  double seconds_per_second;  // host CPU seconds per emulated second
  double budget_used;         // mean share of the frame budget the frames used
  int frames;                 // logical frames run
};

figures measure(const char *code, int emulated_seconds) {
  const std::string home =
      bench_start_console(bench_clock, {"-foreground_sleep_ms", "0", "-background_sleep_ms", "0"});

  orrery_cart *cart = orrery_working_cart();
  snprintf(cart->code, k_cart_code_size, "%s", code);
  split_code_to_tabs();
  pstate.pending_request = REQ_RUN;
  vell_main_iteration();

  const int frames = emulated_seconds * 30;
  double used = 0;
  const double start = process_cpu_seconds();
  for (int i = 0; i < frames; i++) {
    g_now += 34;  // a little over a frame at 30 per second: one logical frame each time
    vell_main_iteration();
    used += cycles_2_frame_capacity(cpu_budget().mark_cycles[2]) / 65536.0;
  }
  const double spent = process_cpu_seconds() - start;
  if (pstate.mode != MODE_RUNNING) fprintf(stderr, "the cartridge stopped early\n");

  bench_stop_console(home);
  return {spent / emulated_seconds, used / frames, frames};
}

}  // namespace

int main(int argc, char **argv) {
  int seconds = 20;
  for (int i = 1; i + 1 < argc; i++)
    if (strcmp(argv[i], "--seconds") == 0) seconds = atoi(argv[++i]);
  if (seconds < 1) seconds = 1;

  printf("host CPU seconds per emulated second (target: at most 0.050)\n");
  const struct {
    const char *name;
    const char *code;
  } carts[] = {{"drawing-heavy", k_drawing_cart}, {"script-heavy", k_script_cart}};
  for (const auto &c : carts) {
    const figures f = measure(c.code, seconds);
    printf("  %-14s %.3f  (%d frames, %.0f%% of each frame's budget used on average)\n", c.name,
           f.seconds_per_second, f.frames, f.budget_used * 100);
  }
  return 0;
}
