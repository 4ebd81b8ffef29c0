#include "support/platform_rig.h"

#include "support/test.h"

platform_rig::platform_rig() {
  g_rig_now = 1000;
  memset(g_rig_keys, 0, sizeof g_rig_keys);
  use_test_clock(rig_clock);
  use_test_keys(rig_keys);
  orrery_install_hooks();
  vell_config_set(&vell_config_t::foreground_sleep_ms, 0);
  vell_config_set(&vell_config_t::background_sleep_ms, 0);
  vell_config_set(&vell_config_t::windowed, 1);
  vell_system_init();
  vell_keys_init();
}

platform_rig::~platform_rig() {
  vell_joystick_exit();
  vell_sound_exit_plat();
  use_test_keys(nullptr);
  use_test_clock(nullptr);
  vell_system_exit();
}

void platform_rig::poll_at(uint32_t t) {
  g_rig_now = t;
  vell_handle_system_messages();
}
