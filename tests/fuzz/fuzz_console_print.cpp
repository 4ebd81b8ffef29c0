// Prints arbitrary texts on the console from arbitrary cursor positions:
// nothing may be written outside the screen, and the cursor always ends on
// one of the screen's lines. Texts separated by byte 1 are printed in turn.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  orrery_install_hooks();
  vell_text_init();
  orrery_create_machine();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2) return 0;
  pstate.font = vell_font1();
  pstate.mode = MODE_CONSOLE;
  pstate.cursor_x = static_cast<int8_t>(data[0]) / 4;
  pstate.cursor_y = static_cast<int8_t>(data[1]) * 2;
  std::istringstream in(std::string(reinterpret_cast<const char *>(data + 2), size - 2));
  for (std::string line; std::getline(in, line, '\1');) {
    orrery_print_col(line.c_str(), data[0] & 15);
    check(pstate.cursor_y >= 0 && pstate.cursor_y <= k_console_last_line);
  }
  return 0;
}
