// What the fuzz targets share: the headers they use, a check that stops the
// fuzzer at once, and the whole console started headless (for targets that
// run programs) on a clock the target moves.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "api/api.h"
#include "api/q7.h"
#include "audio/audio.h"
#include "audio/channels.h"
#include "audio/mixer.h"
#include "browser/catalogue_page.h"
#include "browser/favourites.h"
#include "gfx/bitmap.h"
#include "gfx/ctext.h"
#include "gfx/engine_font.h"
#include "gfx/font.h"
#include "gfx/text.h"
#include "lauxlib.h"
#include "lualib.h"
#include "machine/cart.h"
#include "machine/cart_hex.h"
#include "machine/cart_png.h"
#include "machine/cart_text.h"
#include "machine/code_compress.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "platform/backends.h"
#include "platform/config.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/png_image.h"
#include "platform/system.h"
#include "script/fixed.h"
#include "script/interp.h"
#include "script/preprocess.h"
#include "script/runner.h"
#include "script/tokenizer.h"
#include "shell/console.h"
#include "shell/console_output.h"
#include "shell/hooks.h"
#include "shell/resources.h"

inline void check(bool ok) {
  if (!ok) __builtin_trap();
}

inline uint32_t g_fuzz_now = 1000;

// Starts the console once, in a fresh temporary home; it ends at exit, so
// that what it keeps is released before the leak check.
// The fuzzers' clock: time moves only when a target moves it.
inline void use_fuzz_clock() {
  vell_clock_source clock = vell_backends.clock;
  clock.now_ms = [] { return g_fuzz_now; };
  vell_clock_source_use(&clock);
}

inline void start_headless_console() {
  use_fuzz_clock();
  vell_set_program_folder(ORRERY_FUZZ_PROGRAM_FOLDER);
  static char home[] = "/tmp/orrery-fuzz-XXXXXX";
  check(mkdtemp(home) != nullptr);
  const std::string home_arg = std::string(home) + "/";
  const char *argv[] = {"orrery", "-home", home_arg.c_str(), "-headless", "1"};
  orrery_install_hooks();
  vell_main_init(5, argv);
  atexit([] { vell_main_exit(); });
}

// Runs code as the cartridge program for up to frames frames, then leaves
// it suspended as the console would.
inline void run_program_frames(const std::string &code, int frames) {
  snprintf(orrery_working_cart()->code, k_cart_code_size, "%s", code.c_str());
  split_code_to_tabs();
  pstate.pending_request = REQ_RUN;
  run_cart();
  pstate.pending_request = REQ_NONE;
  for (int frame = 0; frame < frames && pstate.mode == MODE_RUNNING; frame++) {
    g_fuzz_now += 34;
    run_slice();
  }
}
