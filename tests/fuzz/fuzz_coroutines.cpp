// Fuzzes the runner's hold on programs that mix coroutines, finalizers,
// flip, metamethods that cannot yield, garbage and errors. The input bytes
// pick statements from a small grammar, so that nearly every input is a
// valid program; it runs for a few frames on the headless console, and its
// state is closed while the program is suspended in the middle of a frame.
// Crashes, sanitizer reports and hangs (a frame that never ends) are faults.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "machine/cart.h"
#include "machine/pstate.h"
#include "platform/system.h"
#include "script/runner.h"
#include "shell/console.h"
#include "platform/paths.h"

namespace {

uint32_t g_now = 1000;
uint32_t fuzz_clock() { return g_now; }

// Reads the input a byte at a time; zeros once it is used up.
struct byte_source {
  const uint8_t *data;
  size_t size;
  size_t pos = 0;
  int next() { return pos < size ? data[pos++] : 0; }
  bool done() const { return pos >= size; }
};

constexpr int k_max_depth = 4;
constexpr size_t k_max_program = 16384;

void block(byte_source &in, std::string &out, int depth);

// One statement; depth limits the nesting of bodies.
void statement(byte_source &in, std::string &out, int depth) {
  const int c = in.next() % 18;
  const int k = in.next() % 4;  // coroutine slot, or a small count
  const std::string co = "c" + std::to_string(k);
  auto body = [&] {
    if (depth < k_max_depth) block(in, out, depth + 1);
  };
  switch (c) {
    case 0: out += co + " = cocreate(function(a) "; body(); out += " end) "; break;
    case 1: out += "coresume(" + co + ", " + std::to_string(k) + ") "; break;
    case 2: out += "flip() "; break;
    case 3: out += "yield() "; break;
    case 4: out += "setmetatable({}, {__gc = function() "; body(); out += " end}) "; break;
    case 5: out += "for i = 1, " + std::to_string(1 + in.next() * 8) + " do "; body(); out += " end "; break;
    case 6: out += "while true do "; body(); out += " end "; break;
    case 7: out += "g = {} for i = 1, " + std::to_string(in.next() * 16) + " do g[i] = {i} end "; break;
    case 8: out += "s = (s or 'x') .. (s or 'x') "; break;
    case 9:
      out += "for _ in pairs(setmetatable({}, {__pairs = function() ";
      body();
      out += " return function() end end})) do end ";
      break;
    case 10: out += "keep = setmetatable({}, {__gc = function() " + co + " = nil "; body(); out += " end}) "; break;
    case 11: out += "x = costatus(" + co + ") "; break;
    case 12: out += "if " + co + " and costatus(" + co + ") == 'suspended' then coresume(" + co + ") end "; break;
    case 13: out += (in.next() & 1) ? "assert(false, 'a') " : "x = nil + 1 "; break;
    case 14: out += "function _update() "; body(); out += " end "; break;
    case 15: out += "print('\\27[2J' .. tostr(" + std::to_string(k) + ")) "; break;
    case 16: out += "local t = {} for i = 1, " + std::to_string(in.next()) + " do t[i] = s end "; break;
    default: out += "n = (n or 0) + 1 "; break;
  }
}

void block(byte_source &in, std::string &out, int depth) {
  const int n = 1 + in.next() % 4;
  for (int i = 0; i < n && !in.done() && out.size() < k_max_program; i++) statement(in, out, depth);
}

}  // namespace

// The console starts once, before the first input, and ends at exit.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  vell_set_time_func(fuzz_clock);
  vell_set_program_folder(ORRERY_FUZZ_PROGRAM_FOLDER);
  static char home[] = "/tmp/orrery-fuzz-XXXXXX";
  if (!mkdtemp(home)) __builtin_trap();
  const std::string home_arg = std::string(home) + "/";
  const char *argv[] = {"orrery", "-home", home_arg.c_str(), "-headless", "1"};
  vell_main_init(5, argv);
  atexit([] { vell_main_exit(); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  byte_source in{data, size};
  std::string code;
  while (!in.done() && code.size() < k_max_program) statement(in, code, 0);
  orrery_cart *cart = orrery_working_cart();
  snprintf(cart->code, k_cart_code_size, "%s", code.c_str());
  split_code_to_tabs();
  pstate.pending_request = REQ_RUN;
  run_cart();
  pstate.pending_request = REQ_NONE;
  for (int frame = 0; frame < 4 && pstate.mode == MODE_RUNNING; frame++) {
    g_now += 34;
    run_slice();
  }
  // Closed as it stands, perhaps suspended mid-frame: its finalizers run.
  reset_interpreter();
  suspend_program();
  return 0;
}
