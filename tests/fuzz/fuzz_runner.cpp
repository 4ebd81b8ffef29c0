// Fuzzes the program runner with arbitrary cartridge code: the whole
// console is started once (headless), then every input is compiled as a
// cartridge program and resumed for a few frames. Syntax errors, runtime
// errors and programs that never end are all fine; crashes, sanitizer
// reports and hangs are not.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  start_headless_console();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const size_t n = size < static_cast<size_t>(k_cart_code_max) ? size : k_cart_code_max;
  const std::string code(reinterpret_cast<const char *>(data), strnlen(reinterpret_cast<const char *>(data), n));
  run_program_frames(code, 3);
  suspend_program();
  return 0;
}
