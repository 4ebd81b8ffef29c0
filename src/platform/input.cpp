#include "platform/input.h"

#include "platform/system.h"
#include "shell/config.h"

void vell_keys_init() {}
void vell_keys_exit() {}
void vell_mouse_init() {}

void vell_handle_system_messages() {
  int32_t ms = vell_is_app_active() ? vell_config.foreground_sleep_ms : vell_config.background_sleep_ms;
  if (ms > 200) ms = 200;
  if (ms > 0) vell_delay(static_cast<uint32_t>(ms));
}

int vell_get_key_state(int32_t) { return 0; }
int32_t vell_get_any_key_down() { return 0; }
int vell_keypressed() { return 0; }
int32_t vell_readkey() { return 0; }
void vell_clear_key_buffer() {}
