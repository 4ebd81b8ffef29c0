// Prints arbitrary texts on the console from arbitrary cursor positions:
// nothing may be written outside the screen, and the cursor always ends on
// one of the screen's lines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "gfx/engine_font.h"
#include "gfx/font.h"
#include "machine/pstate.h"
#include "shell/console_output.h"
#include "shell/hooks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool ready = false;
  if (!ready) {
    orrery_install_hooks();
    vell_text_init();
    orrery_create_machine();
    ready = true;
  }
  if (size < 2) return 0;
  pstate.font = vell_font1;
  pstate.mode = MODE_CONSOLE;
  pstate.cursor_x = static_cast<int8_t>(data[0]) / 4;
  pstate.cursor_y = static_cast<int8_t>(data[1]) * 2;
  // Texts separated by byte 1 are printed one after another.
  std::string text(reinterpret_cast<const char *>(data + 2), size - 2);
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('\1', start);
    const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    orrery_print_col(line.c_str(), data[0] & 15);
    if (pstate.cursor_y < 0 || pstate.cursor_y > k_console_last_line) abort();
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return 0;
}
