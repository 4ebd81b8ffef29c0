#include "machine/pstate.h"

#include <cstring>

#include "gfx/bitmap.h"
#include "machine/cart.h"
#include "machine/registers.h"

// The machine: created at console start-up, its live cartridge replaced at
// each boot; read and written by every layer from here up.
pstate_t pstate;

void orrery_clear_machine() {
  pstate_t &m = pstate;
  // The live cartridge is detached first, so that its release does not
  // reach back into a half-cleared record.
  orrery_cart *cart = m.cart;
  m.cart = nullptr;
  vell_destroy_orrery_cart(cart);
  vell_destroy_bitmap(m.screen);
  m.screen = nullptr;
  m.font = nullptr;

  memset(m.ram, 0, sizeof m.ram);
  memset(m.gpio, 0, sizeof m.gpio);
  memset(m.cdata, 0, sizeof m.cdata);
  m.cdata_changed = 0;

  memset(m.draw_pal, 0, sizeof m.draw_pal);
  memset(m.screen_pal, 0, sizeof m.screen_pal);
  m.clip_x0 = m.clip_y0 = m.clip_x1 = m.clip_y1 = 0;
  m.pen = 0;
  m.cursor_x = m.cursor_y = 0;
  m.camera_x = m.camera_y = 0;
  m.draw_mode = 0;
  m.fill_pattern = 0;
  m.text_wrap = 0;
  for (auto &mask : m.audio_mask) mask.store(0);

  m.mode = MODE_CONSOLE;
  m.pending_request = REQ_NONE;
  m.sub_screen = SUB_NONE;
  m.frame_counter = 0;
  m.spinner_counter = 0;
  m.busy_countdown = 0;
  m.hold_frame = 0;
  m.program_started = 0;
  m.mainloop_kind = 0;
  m.target_fps = 0;
  m.reset_glitch = 0;
  m.buttons_read = 0;
  m.wheel_x = m.wheel_y = 0;
}

int orrery_new_live_cart() {
  orrery_cart *old = pstate.cart;
  pstate.cart = nullptr;
  vell_destroy_orrery_cart(old);
  pstate.cart = vell_create_orrery_cart();
  return pstate.cart ? 0 : 1;
}

int orrery_create_machine() {
  orrery_clear_machine();
  pstate.screen = vell_create_bitmap(k_screen_size, k_screen_size, 8);
  int failed = pstate.screen ? 0 : 1;
  failed |= orrery_new_live_cart();
  pstate.target_fps = 30;
  orrery_reset_registers(&pstate);
  return failed;
}

void orrery_reset_registers(pstate_t *m) {
  for (int32_t c = 0; c < 16; c++) {
    m->draw_pal[c] = c;
    m->screen_pal[c] = c;
  }
  m->draw_pal[0] = 16;
  m->clip_x0 = m->clip_y0 = 0;
  m->clip_x1 = m->clip_y1 = k_screen_size;
  vell_set_clip(m->screen, 0, 0, k_screen_size, k_screen_size);
  m->pen = 6;
  m->cursor_x = 0;
  m->camera_x = m->camera_y = 0;
  m->draw_mode = 0;
  m->fill_pattern = 0;
  m->text_wrap = 0;
  // The masks are read back through the mirror bytes, so both are cleared.
  for (int32_t i = 0; i < 4; i++) {
    m->audio_mask[i].store(0);
    m->ram[k_addr_audio_masks + i] = 0;
  }
}

int32_t gpio_read(int32_t index) { return index >= 0 && index < k_gpio_size ? pstate.gpio[index] : 0; }

void gpio_write(int32_t index, int32_t value) {
  if (index >= 0 && index < k_gpio_size) pstate.gpio[index] = static_cast<uint8_t>(value);
}
