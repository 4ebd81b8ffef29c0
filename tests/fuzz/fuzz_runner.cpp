// Fuzzes the program runner with arbitrary cartridge code: the whole
// console is started once (headless), then every input is compiled as a
// cartridge program and resumed for a few frames. Syntax errors, runtime
// errors and programs that never end are all fine; crashes, sanitizer
// reports and hangs are not.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "machine/cart.h"
#include "machine/pstate.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "script/runner.h"
#include "shell/console.h"

namespace {

uint32_t g_now = 1000;
uint32_t fuzz_clock() { return g_now; }

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
  // The console's own exit releases what it keeps, before the leak check.
  atexit([] { vell_main_exit(); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  orrery_cart *cart = orrery_working_cart();
  const size_t n = size < static_cast<size_t>(k_cart_code_max) ? size : k_cart_code_max;
  std::string code(reinterpret_cast<const char *>(data), n);
  code.resize(strnlen(code.c_str(), n));
  memcpy(cart->code, code.c_str(), code.size() + 1);
  split_code_to_tabs();
  pstate.pending_request = REQ_RUN;
  run_cart();
  pstate.pending_request = REQ_NONE;
  for (int frame = 0; frame < 3 && pstate.mode == MODE_RUNNING; frame++) {
    g_now += 34;
    run_slice();
  }
  suspend_program();
  return 0;
}
