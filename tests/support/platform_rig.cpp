#include "support/platform_rig.h"

#include <cstring>

#include "gfx/engine_font.h"
#include "platform/audio_device.h"
#include "platform/config.h"
#include "platform/input.h"
#include "platform/joystick.h"
#include "platform/system.h"
#include "platform/video.h"
#include "shell/hooks.h"

platform_rig::platform_rig(bool with_window, bool software) : window(with_window) {
  g_rig_now = 1000;
  memset(g_rig_keys, 0, sizeof g_rig_keys);
  vell_set_time_func(rig_clock);
  vell_set_key_source(rig_keys);
  orrery_install_hooks();
  vell_config.foreground_sleep_ms = vell_config.background_sleep_ms = 0;
  vell_config.windowed = 1;
  vell_config.software_blit = software;
  vell_system_init();
  vell_keys_init();
  if (!window) return;
  vell_text_init();
  vell_video_init();
  vell_set_window_size(580, 540);
  vell_set_screen(128, 128, 8, 0x100);
}

platform_rig::~platform_rig() {
  if (window) {
    vell_video_exit();
    vell_text_exit();
  }
  vell_joystick_exit();
  vell_sound_exit_plat();
  vell_set_key_source(nullptr);
  vell_set_time_func(nullptr);
  vell_system_exit();
}

void platform_rig::poll_at(uint32_t t) {
  g_rig_now = t;
  vell_handle_system_messages();
}
