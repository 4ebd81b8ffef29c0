#include "shell/presentation.h"

#include <cstring>

#include "gfx/bitmap.h"
#include "machine/memory.h"
#include "machine/pstate.h"
#include "shell/console.h"

void apply_draw_mode(vell_bitmap *b, int32_t m) {
  if (!b || b->w != k_screen_size || b->h != k_screen_size || b->depth != 8) return;
  const int32_t n = k_screen_size;
  if (m == DRAW_STRETCH_X || m == DRAW_STRETCH_XY)
    for (int32_t y = 0; y < n; y++) {
      uint8_t *row = b->line[y];
      for (int32_t x = n - 1; x >= 0; x--) row[x] = row[x / 2];
    }
  if (m == DRAW_STRETCH_Y || m == DRAW_STRETCH_XY)
    for (int32_t y = n - 1; y >= 0; y--) memcpy(b->line[y], b->line[y / 2], n);
  if (m == DRAW_MIRROR_X || m == DRAW_MIRROR_XY)
    for (int32_t y = 0; y < n; y++) {
      uint8_t *row = b->line[y];
      for (int32_t x = 0; x < n / 2; x++) row[n - 1 - x] = row[x];
    }
  if (m == DRAW_MIRROR_Y || m == DRAW_MIRROR_XY)
    for (int32_t k = 0; k < n / 2; k++) memcpy(b->line[n - 1 - k], b->line[k], n);
}

void blit_orrery_back_page_to_orrery_screen() {
  vell_bitmap *out = orrery_state.presented;
  const vell_bitmap *screen = pstate.screen;
  if (!out || !screen || out->w != screen->w || out->h != screen->h) return;
  // Colours 128-143 can be shown only while the unlock value is in place.
  const int32_t mask = orrery_extended_palette_enabled(&pstate) ? 0x8f : 0x0f;
  uint8_t map[16];
  for (int32_t i = 0; i < 16; i++) {
    pstate.screen_pal[i] &= mask;
    map[i] = static_cast<uint8_t>(pstate.screen_pal[i]);
  }
  const size_t size = static_cast<size_t>(screen->w) * screen->h;
  for (size_t i = 0; i < size; i++) out->data[i] = map[screen->data[i] & 15];
  if (pstate.mode == MODE_RUNNING && pstate.program_started) apply_draw_mode(out, pstate.draw_mode);
}
