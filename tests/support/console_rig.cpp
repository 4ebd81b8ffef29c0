#include "support/console_rig.h"

#include "support/test.h"

uint32_t g_rig_now = 1000;
uint8_t g_rig_keys[512];

uint32_t rig_clock() { return g_rig_now; }

void use_test_clock(uint32_t (*now)()) {
  if (!now) return vell_clock_source_use(nullptr);
  vell_clock_source clock = *vell_headless_clock();
  clock.now_ms = now;
  vell_clock_source_use(&clock);
}

void use_test_keys(const uint8_t *(*keys)(int *count)) {
  if (!keys) return vell_input_devices_use(nullptr);
  vell_input_devices input = *vell_sdl_input();
  input.keys = keys;
  input.modifiers = nullptr;
  vell_input_devices_use(&input);
}

const uint8_t *rig_keys(int *count) {
  *count = 512;
  return g_rig_keys;
}

void watch_cpu_charges(void (*observer)(int32_t cycles, int refund)) {
  orrery_script_hooks hooks = orrery_script_hook();
  hooks.cpu_charged = observer;
  orrery_script_hooks_use(hooks);
}

console_rig::console_rig(const std::vector<std::string> &extra, const std::string &program_folder) {
  g_rig_now = now;
  memset(g_rig_keys, 0, sizeof g_rig_keys);
  use_test_clock(rig_clock);
  use_test_keys(rig_keys);
  vell_set_program_folder(program_folder);
  orrery_hook_tables hooks;
  orrery_browser_entry_points(hooks);
  orrery_capture_entry_points(hooks);
  orrery_install_hooks(hooks);
  // Captures go to a folder of the test's, never to the user's desktop.
  const std::string desktop = home.path + "desktop/";
  vell_make_directory(desktop.c_str());
  std::vector<std::string> args = {"orrery", "-home", home.path, "-desktop", desktop, "-headless", "1",
                                   "-foreground_sleep_ms", "0", "-background_sleep_ms", "0"};
  args.insert(args.end(), extra.begin(), extra.end());
  std::vector<const char *> argv;
  for (const std::string &a : args) argv.push_back(a.c_str());
  vell_main_init(static_cast<int>(argv.size()), argv.data());
}

console_rig::~console_rig() {
  if (vell_state.initialised) vell_exit();
  use_test_keys(nullptr);
  use_test_clock(nullptr);
}

void console_rig::iterate(uint32_t ms) {
  now += ms;
  g_rig_now = now;
  vell_main_iteration();
}

void console_rig::key(int32_t scancode, bool down) { g_rig_keys[scancode] = down ? 1 : 0; }

void console_rig::press(const std::vector<int32_t> &scancodes) {
  for (int32_t sc : scancodes) key(sc, true);
  iterate(1);
  for (int32_t sc : scancodes) key(sc, false);
  iterate(1);
}

void console_rig::tap(const std::vector<int32_t> &scancodes) {
  for (int32_t sc : scancodes) key(sc, true);
  frame(2);
  for (int32_t sc : scancodes) key(sc, false);
  frame(2);
}

bool screen_line_is(const char *text, int32_t y, uint32_t c) {
  vell_bitmap *expected = vell_create_bitmap(128, 128, 8);
  vell_draw_text_ex(expected, text, pstate.font, 0, y, k_text_colour | k_text_wrap, c);
  const uint8_t *from = expected->data + y * 128, *to = expected->data + std::min(y + 6, 128) * 128;
  const bool same = std::equal(from, to, pstate.screen->data + y * 128);
  vell_destroy_bitmap(expected);
  return same;
}
