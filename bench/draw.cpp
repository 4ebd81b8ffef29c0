// Prints the host CPU time that the drawing, sprite, map and text functions
// of the script API take per emulated second: each workload runs until it
// has used 4194304 virtual cycles (interpreter instructions counted 1024 at
// a time, as the runner's count hook does, plus the charges the functions
// make), and the process CPU time for that is reported. The console's
// promise is that no workload within its budget needs more than 0.05 s
// (5% of a core).
//
// Each workload is a loop in the interpreter that runs one body per call,
// as a cartridge's own loop would.
//
//   bench_draw [--c-calls] [TEXT]
//     TEXT       only the workloads whose name contains TEXT
//     --c-calls  call each body from the host instead (how this benchmark
//                measured before; adds the cost of entering the interpreter)

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>

#include "api/api.h"
#include "gfx/bitmap.h"
#include "gfx/font.h"
#include "lauxlib.h"
#include "machine/cart.h"
#include "machine/pstate.h"
#include "script/cpu_budget.h"
#include "script/hooks.h"
#include "script/interp.h"
#include "shell/resources.h"

namespace {

int64_t g_cycles = 0;  // virtual cycles used by the running workload

void count_charge(int32_t cycles, int refund) {
  // spend_cpu raises a request below 1 to 1; refunds go through as they are.
  g_cycles += refund ? cycles : (cycles < 1 ? 1 : cycles);
}

void count_instructions(lua_State *, lua_Debug *) { g_cycles += 1024; }

double cpu_seconds() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

struct workload {
  const char *name;  // what it draws
  const char *body;  // body of a function called over and over; i counts calls
};

// Each body is one frame's worth of typical calls, or one call that uses a
// large part of the budget on its own.
const workload k_workloads[] = {
    {"cls", "cls(i % 16)"},
    {"rectfill full screen, pattern", "fillp(0x5a5a) rectfill(0, 0, 127, 127, 0x1c)"},
    {"rectfill 8x8", "rectfill(i % 120, i % 97, i % 120 + 7, i % 97 + 7, i)"},
    {"pset", "pset(i % 128, i % 113, i)"},
    {"pget", "local c = pget(i % 128, i % 113)"},
    {"line across", "line(0, i % 128, 127, 127 - i % 128, i)"},
    {"line mostly clipped", "line(-5000, i % 128, 5000, 127 - i % 128, i)"},
    {"rect", "rect(i % 64, i % 50, 127 - i % 64, 127 - i % 50, i)"},
    {"circ r 40", "circ(64, 64, 40, i)"},
    {"circ r 32767 through the screen", "camera(0, -100) circ(64, 32767, 32767, i) camera()"},
    {"circfill r 40", "circfill(64, 64, 40, i)"},
    {"circfill r 3", "circfill(i % 128, i % 111, 3, i)"},
    {"spr 8x8", "spr(i % 256, i % 128, i % 119)"},
    {"spr 16x16 flipped", "spr(i % 256, i % 128, i % 119, 2, 2, true, true)"},
    {"sspr stretched 32 to 64", "sspr(0, 0, 32, 32, i % 64, i % 61, 64, 64)"},
    {"sspr shrunk 128 to 16", "sspr(0, 0, 128, 128, i % 112, i % 101, 16, 16)"},
    {"map full screen", "map(0, 0, 0, 0, 16, 16)"},
    {"map with layer", "map(i % 16, 0, -(i % 8), 0, 17, 17, 1)"},
    {"print short", "print('hello world', i % 100, i % 120, i)"},
    {"print scrolling", "cursor(0, 122) print('scroll')"},
    {"peek/poke", "poke(0x4300 + i % 100, peek(0x6000 + i % 8192))"},
    {"memcpy screen", "memcpy(0x6000, 0x0000, 0x2000)"},
    {"math", "local a = flr(sin(i / 100) * 64) + band(i, 15) + sqrt(i % 100) + rnd(10)"},
};

}  // namespace

int main(int argc, char **argv) {
  std::string only;  // run only the workloads whose name contains this
  bool c_calls = false;
  for (int i = 1; i < argc; i++) {
    if (std::string(argv[i]) == "--c-calls") c_calls = true;
    else only = argv[i];
  }
  if (orrery_create_machine() != 0) return 1;
  std::string pod = ORRERY_BINARY;
  pod = pod.substr(0, pod.find_last_of('/') + 1) + "data.pod";
  if (orrery_load_resources(pod) != 0) {
    fprintf(stderr, "could not load %s\n", pod.c_str());
    return 1;
  }
  vell_font font{orrery_resource_font_glyphs(), 0};
  pstate.font = &font;

  // A busy sheet and map, flags on every other sprite.
  std::mt19937 rng(7);
  for (int y = 0; y < 128; y++)
    for (int x = 0; x < 128; x++) pstate.cart->gfx->line[y][x] = static_cast<uint8_t>(rng() & 15);
  for (int y = 0; y < 64; y++)
    for (int x = 0; x < 128; x++) pstate.cart->map->line[y][x] = static_cast<uint8_t>(rng() & 255);
  for (int n = 0; n < 256; n++) pstate.cart->flags[n] = n & 1;

  orrery_script_hooks hooks;
  hooks.cpu_charged = count_charge;
  orrery_script_hooks_use(hooks);
  printf("%-34s %14s %16s\n", "workload", "calls per emu s", "host s per emu s");
  double worst = 0;
  for (const workload &w : k_workloads) {
    if (std::string(w.name).find(only) == std::string::npos) continue;
    lua_State *L = orrery_lua_open();
    add_c_functions(L);
    // The body runs in a loop of the interpreter's own, as in a cartridge:
    // work(first, last) runs it for i = first ... last. With --c-calls the
    // host calls it once per call instead, which adds the cost of entering
    // the interpreter from C to every call.
    const std::string code = c_calls ? "return function(i) " + std::string(w.body) + " end"
                                     : "return function(first, last) for i = first, last do " +
                                           std::string(w.body) + " end end";
    if (luaL_loadstring(L, code.c_str()) != 0 || lua_pcall(L, 0, 1, 0) != 0) {
      fprintf(stderr, "%s: %s\n", w.name, lua_tostring(L, -1));
      return 1;
    }
    lua_setglobal(L, "work");
    lua_sethook(L, count_instructions, LUA_MASKCOUNT, 1024);
    // Two emulated seconds, so that start-up costs weigh little.
    const int64_t target = 2 * k_cycles_per_second;
    g_cycles = 0;
    int64_t calls = 0;
    int32_t block = 1;  // calls per entry into the loop; grows while a block is cheap
    const double t0 = cpu_seconds();
    while (g_cycles < target) {
      lua_getglobal(L, "work");
      // i counts calls, wrapping at 32767: a numeric loop up to 32767 would
      // never end, since its counter wraps around.
      const int32_t first = static_cast<int32_t>(calls % 0x7fff);
      const int32_t count = c_calls ? 1 : std::min(block, 0x7fff - first);
      const int64_t before = g_cycles;
      lua_pushinteger(L, first);
      if (!c_calls) lua_pushinteger(L, first + count - 1);
      if (lua_pcall(L, c_calls ? 1 : 2, 0, 0) != 0) {
        fprintf(stderr, "%s: %s\n", w.name, lua_tostring(L, -1));
        return 1;
      }
      calls += count;
      if (g_cycles - before < k_cycles_per_second / 256 && block < 0x4000) block *= 2;
    }
    const double host = (cpu_seconds() - t0) * double(k_cycles_per_second) / double(g_cycles);
    if (host > worst) worst = host;
    printf("%-34s %14.0f %16.4f\n", w.name, double(calls) * k_cycles_per_second / double(g_cycles), host);
    orrery_lua_close(L);
  }
  printf("worst: %.4f s of host CPU per emulated second (target at most 0.05)\n", worst);
  orrery_script_hooks_use({});
  orrery_clear_machine();
  orrery_release_resources();
  return 0;
}
