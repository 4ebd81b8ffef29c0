// How much work a cartridge gets done per host frame when it tries to slip
// past the CPU budget, against the same work done plainly: every figure is
// a ratio of units of work per host frame (1.00: the budget holds; above 1:
// the trick buys extra work). The console runs in-process and headless on a
// clock that moves one frame per loop iteration.
//
//   bench_budget [--frames N] [--only K]   (K: the scenario's index, from 0)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lua.h"
#include "machine/cart.h"
#include "machine/pstate.h"
#include "platform/system.h"
#include "script/runner.h"
#include "shell/console.h"
#include "shell/engine.h"
#include "shell/main_loop.h"

#include "bench_support.h"

namespace {

// One unit of work: a counted loop of about a thousand instructions.
#define UNIT "for j = 1, 1000 do end n += 1 "

struct scenario {
  const char *name;
  const char *plain;  // the work done plainly
  const char *trick;  // the same work with the trick
};

const scenario k_scenarios[] = {
    {"flip() in a coroutine", "n = 0 while true do " UNIT "end",
     "n = 0 local co = cocreate(function() while true do flip() end end)\n"
     "while true do " UNIT "coresume(co) end"},
    {"work in a coroutine, depth 2", "n = 0 while true do " UNIT "end",
     "n = 0 local b = cocreate(function() while true do " UNIT "end end)\n"
     "local a = cocreate(function() while true do coresume(b) end end)\n"
     "while true do coresume(a) end"},
    {"work in a coroutine, depth 3", "n = 0 while true do " UNIT "end",
     "n = 0 local c = cocreate(function() while true do " UNIT "end end)\n"
     "local b = cocreate(function() while true do coresume(c) end end)\n"
     "local a = cocreate(function() while true do coresume(b) end end)\n"
     "while true do coresume(a) end"},
    {"small tables instead of numbers", "n = 0 while true do for j = 1, 500 do local t = j end n += 1 end",
     "n = 0 while true do for j = 1, 500 do local t = {} end n += 1 end"},
    {"_update dropping 2 MiB a frame",
     "n = 0 function _update() for i = 1, 2100 do local s = i end n += 1 end",
     "n = 0 big = 'x' for i = 1, 10 do big = big .. big end\n"
     "function _update() for i = 1, 2100 do local s = big .. i end n += 1 end"},
    {"finalizers doing the work", "n = 0 while true do " UNIT "end",
     "n = 0 mt = {} mt.__gc = function() " UNIT "setmetatable({}, mt) end\n"
     "for i = 1, 400 do setmetatable({}, mt) end while true do flip() end"},
    {"work inside __pairs", "n = 0 while true do " UNIT "end",
     "n = 0 local t = setmetatable({}, {__pairs = function(t) for k = 1, 60 do " UNIT
     "end return function() end end})\n"
     "while true do pairs(t) end"},
};

uint32_t g_now = 1000;
uint32_t bench_clock() { return g_now; }

double global_number(const char *name) {
  lua_State *H = orrery_runner().helper;
  if (!H) return 0;
  lua_getglobal(H, name);
  const double v = lua_tonumberx(H, -1, nullptr) / 65536.0;
  lua_pop(H, 1);
  return v;
}

// Units of work (the global n) per host frame, over frames after a warm-up.
double units_per_frame(const char *code, int frames) {
  const std::string home = bench_start_console(bench_clock, {});

  orrery_cart *cart = orrery_working_cart();
  snprintf(cart->code, k_cart_code_size, "%s", code);
  split_code_to_tabs();
  pstate.pending_request = REQ_RUN;
  vell_main_iteration();
  auto frame = [] {
    g_now += 34;  // one logical frame at 30 per second
    vell_main_iteration();
  };
  for (int i = 0; i < 10; i++) frame();
  const double start = global_number("n");
  for (int i = 0; i < frames; i++) frame();
  const double units = global_number("n") - start;
  if (pstate.mode != MODE_RUNNING) fprintf(stderr, "the cartridge stopped early\n");

  bench_stop_console(home);
  return units / frames;
}

}  // namespace

int main(int argc, char **argv) {
  int frames = 90;
  int only = -1;
  for (int i = 1; i + 1 < argc; i++) {
    if (strcmp(argv[i], "--frames") == 0) frames = atoi(argv[++i]);
    else if (strcmp(argv[i], "--only") == 0) only = atoi(argv[++i]);
  }
  if (frames < 1) frames = 1;

  printf("units of work per host frame with the trick / without it (1.00: the budget holds)\n");
  int index = 0;
  for (const scenario &s : k_scenarios) {
    if (only >= 0 && index++ != only) continue;
    const double plain = units_per_frame(s.plain, frames);
    const double trick = units_per_frame(s.trick, frames);
    printf("  %-34s %6.2f  (%.1f / %.1f units a frame)\n", s.name, plain > 0 ? trick / plain : 0, trick, plain);
  }
  return 0;
}
